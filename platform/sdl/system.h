// What the SDL platform does differently from one system to another, one file per system:
// system_linux.cpp here, platform/windows/sdl_system.cpp for Windows.
#pragma once

// Before SDL's video starts: the video driver to prefer where SDL has a choice (X11 on Linux,
// where display modes can really be switched), unless the environment names one.
void preferVideoDriver();

// Before SDL's audio starts: the system sound library's own diagnostics quieted, where it
// prints any.
void quietSoundLibrary();
