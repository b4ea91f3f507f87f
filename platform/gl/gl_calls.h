// The GL entry points the demo and its windows call, listed once with their signatures, and the
// table of pointers that serves them. A program links platform/gl/dispatch.cpp, which defines
// each entry point as a call through the active table: the desktop GL's own functions, looked up
// by name in the context's driver, or the GL 1.1 layer on OpenGL ES 2 (platform/gles2/). So one
// program draws either way, chosen when its context is made. The GLU the demo calls is computed
// in platform/gl/glu.cpp on top of these.
//
// The build compares this list with the GL functions the core library calls and stops, naming
// them, when the core calls one that is missing here (cmake/CheckGlCalls.cmake).
#pragma once

#include "shell/gl.h"

// X(return type, name, (parameters), (arguments))
#define YARVIK_GL_CALLS(X)                                                                                      \
    X(void, glBegin, (GLenum mode), (mode))                                                                     \
    X(void, glBindTexture, (GLenum target, GLuint texture), (target, texture))                                  \
    X(void, glBitmap,                                                                                           \
      (GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,               \
       const GLubyte* bitmap),                                                                                  \
      (width, height, xorig, yorig, xmove, ymove, bitmap))                                                      \
    X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor))                                  \
    X(void, glCallLists, (GLsizei n, GLenum type, const GLvoid* lists), (n, type, lists))                       \
    X(void, glClear, (GLbitfield mask), (mask))                                                                 \
    X(void, glClearColor, (GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha),                        \
      (red, green, blue, alpha))                                                                                \
    X(void, glClearDepth, (GLclampd depth), (depth))                                                            \
    X(void, glColor3f, (GLfloat red, GLfloat green, GLfloat blue), (red, green, blue))                          \
    X(void, glColor4f, (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha), (red, green, blue, alpha))    \
    X(void, glCullFace, (GLenum mode), (mode))                                                                  \
    X(void, glDepthFunc, (GLenum func), (func))                                                                 \
    X(void, glDisable, (GLenum cap), (cap))                                                                     \
    X(void, glEnable, (GLenum cap), (cap))                                                                      \
    X(void, glEnd, (void), ())                                                                                  \
    X(void, glEndList, (void), ())                                                                              \
    X(void, glFinish, (void), ())                                                                               \
    X(void, glFlush, (void), ())                                                                                \
    X(GLuint, glGenLists, (GLsizei range), (range))                                                             \
    X(void, glGenTextures, (GLsizei n, GLuint* textures), (n, textures))                                        \
    X(GLenum, glGetError, (void), ())                                                                           \
    X(void, glGetFloatv, (GLenum pname, GLfloat* params), (pname, params))                                      \
    X(void, glGetIntegerv, (GLenum pname, GLint* params), (pname, params))                                      \
    X(void, glHint, (GLenum target, GLenum mode), (target, mode))                                               \
    X(GLboolean, glIsEnabled, (GLenum cap), (cap))                                                              \
    X(void, glLightfv, (GLenum light, GLenum pname, const GLfloat* params), (light, pname, params))             \
    X(void, glLineWidth, (GLfloat width), (width))                                                              \
    X(void, glListBase, (GLuint base), (base))                                                                  \
    X(void, glLoadIdentity, (void), ())                                                                         \
    X(void, glMatrixMode, (GLenum mode), (mode))                                                                \
    X(void, glMultMatrixd, (const GLdouble* m), (m))                                                            \
    X(void, glNewList, (GLuint list, GLenum mode), (list, mode))                                                \
    X(void, glNormal3f, (GLfloat nx, GLfloat ny, GLfloat nz), (nx, ny, nz))                                     \
    X(void, glOrtho,                                                                                            \
      (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar),            \
      (left, right, bottom, top, zNear, zFar))                                                                  \
    X(void, glPixelStorei, (GLenum pname, GLint param), (pname, param))                                         \
    X(void, glPointSize, (GLfloat size), (size))                                                                \
    X(void, glPopAttrib, (void), ())                                                                            \
    X(void, glPopMatrix, (void), ())                                                                            \
    X(void, glPushAttrib, (GLbitfield mask), (mask))                                                            \
    X(void, glPushMatrix, (void), ())                                                                           \
    X(void, glRasterPos2f, (GLfloat x, GLfloat y), (x, y))                                                      \
    X(void, glReadPixels,                                                                                       \
      (GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels),            \
      (x, y, width, height, format, type, pixels))                                                              \
    X(void, glRotatef, (GLfloat angle, GLfloat x, GLfloat y, GLfloat z), (angle, x, y, z))                      \
    X(void, glScissor, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))                \
    X(void, glShadeModel, (GLenum mode), (mode))                                                                \
    X(void, glTexCoord2f, (GLfloat s, GLfloat t), (s, t))                                                       \
    X(void, glTexGeni, (GLenum coord, GLenum pname, GLint param), (coord, pname, param))                        \
    X(void, glTexImage2D,                                                                                       \
      (GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,           \
       GLenum format, GLenum type, const GLvoid* pixels),                                                       \
      (target, level, internalFormat, width, height, border, format, type, pixels))                             \
    X(void, glTexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param))                \
    X(void, glTranslatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))                                         \
    X(void, glVertex2d, (GLdouble x, GLdouble y), (x, y))                                                       \
    X(void, glVertex2f, (GLfloat x, GLfloat y), (x, y))                                                         \
    X(void, glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))                                           \
    X(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))

// The GLU functions, computed in platform/gl/glu.cpp rather than dispatched.
#define YARVIK_GLU_CALLS(X) X(gluPerspective)

#define YARVIK_GL_CALL_POINTER(type, name, params, args) type(*name) params;
struct GlCalls {
    YARVIK_GL_CALLS(YARVIK_GL_CALL_POINTER)
};
#undef YARVIK_GL_CALL_POINTER

// What the context's get-proc-address gives (eglGetProcAddress, SDL_GL_GetProcAddress).
using GlProc = void (*)();
using GlProcLoader = GlProc (*)(const char* name);

// The table every entry point goes through. Until a window chooses one, a table whose calls do
// nothing, as GL does with no current context.
extern const GlCalls* activeGlCalls;
void useGlCalls(const GlCalls* calls);

// Looks every entry point up in the current context's desktop GL and makes that table active.
// On failure nothing changes and the name of the first call the driver lacks is returned;
// nullptr on success.
const char* useDesktopGl(GlProcLoader load);
