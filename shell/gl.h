// The GL 1.1 and GLU entry points the demo draws with. Which code provides them is decided at
// link time: platform/gl's dispatch for the real program (on Linux and Windows) and the offscreen
// window (calling the context's desktop GL or the GL 1.1 layer on ES 2), or the tests' call
// recorder.
#pragma once

// mingw's GL/gl.h declares every GL function a DLL import unless WINGDIAPI and APIENTRY are
// defined first, and its GL/glu.h wants CALLBACK (windows.h would define all three, the first
// as the import): as plain declarations the GL functions can be defined in
// the program (platform/gl's dispatch, the tests' recorder), and opengl32's import library
// still provides them to a program that links it.
#if defined(_WIN32) && !defined(WINGDIAPI)
#define WINGDIAPI
#define APIENTRY
#ifndef CALLBACK
#define CALLBACK
#endif
#endif

#include <GL/gl.h>
#include <GL/glu.h>
