// The OpenGL ES 2 functions the GL 1.1 layer draws with, looked up once through the context's
// get-proc-address: the layer never names an ES 2 library, so the same code builds for WebGL.
#pragma once

#include "shell/gl.h"
#include <GL/glext.h>

// X(return type, name, (parameter types))
#define YARVIK_ES2_CALLS(X)                                                                    \
    X(void, glAttachShader, (GLuint, GLuint))                                                  \
    X(void, glBindAttribLocation, (GLuint, GLuint, const GLchar*))                             \
    X(void, glBindBuffer, (GLenum, GLuint))                                                    \
    X(void, glBindTexture, (GLenum, GLuint))                                                   \
    X(void, glBlendFunc, (GLenum, GLenum))                                                     \
    X(void, glBufferData, (GLenum, GLsizeiptr, const void*, GLenum))                           \
    X(void, glClear, (GLbitfield))                                                             \
    X(void, glClearColor, (GLfloat, GLfloat, GLfloat, GLfloat))                                \
    X(void, glClearDepthf, (GLfloat))                                                          \
    X(void, glCompileShader, (GLuint))                                                         \
    X(GLuint, glCreateProgram, (void))                                                         \
    X(GLuint, glCreateShader, (GLenum))                                                        \
    X(void, glCullFace, (GLenum))                                                              \
    X(void, glDepthFunc, (GLenum))                                                             \
    X(void, glDisable, (GLenum))                                                               \
    X(void, glDrawElements, (GLenum, GLsizei, GLenum, const void*))                            \
    X(void, glEnable, (GLenum))                                                                \
    X(void, glEnableVertexAttribArray, (GLuint))                                               \
    X(void, glFinish, (void))                                                                  \
    X(void, glFlush, (void))                                                                   \
    X(void, glGenBuffers, (GLsizei, GLuint*))                                                  \
    X(void, glGenTextures, (GLsizei, GLuint*))                                                 \
    X(GLenum, glGetError, (void))                                                              \
    X(void, glGetIntegerv, (GLenum, GLint*))                                                   \
    X(void, glGetProgramiv, (GLuint, GLenum, GLint*))                                          \
    X(void, glGetShaderiv, (GLuint, GLenum, GLint*))                                           \
    X(void, glGetShaderInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                          \
    X(GLint, glGetUniformLocation, (GLuint, const GLchar*))                                    \
    X(void, glLineWidth, (GLfloat))                                                            \
    X(void, glLinkProgram, (GLuint))                                                           \
    X(void, glPixelStorei, (GLenum, GLint))                                                    \
    X(void, glReadPixels, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*))             \
    X(void, glScissor, (GLint, GLint, GLsizei, GLsizei))                                       \
    X(void, glShaderSource, (GLuint, GLsizei, const GLchar* const*, const GLint*))             \
    X(void, glTexImage2D, (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*)) \
    X(void, glTexParameteri, (GLenum, GLenum, GLint))                                          \
    X(void, glUniform1f, (GLint, GLfloat))                                                     \
    X(void, glUniform1i, (GLint, GLint))                                                       \
    X(void, glUniform2f, (GLint, GLfloat, GLfloat))                                            \
    X(void, glUniform3fv, (GLint, GLsizei, const GLfloat*))                                    \
    X(void, glUniform4f, (GLint, GLfloat, GLfloat, GLfloat, GLfloat))                          \
    X(void, glUniform4fv, (GLint, GLsizei, const GLfloat*))                                    \
    X(void, glUniformMatrix3fv, (GLint, GLsizei, GLboolean, const GLfloat*))                   \
    X(void, glUniformMatrix4fv, (GLint, GLsizei, GLboolean, const GLfloat*))                   \
    X(void, glUseProgram, (GLuint))                                                            \
    X(void, glVertexAttribPointer, (GLuint, GLint, GLenum, GLboolean, GLsizei, const void*))   \
    X(void, glViewport, (GLint, GLint, GLsizei, GLsizei))

#define YARVIK_ES2_CALL_POINTER(type, name, params) type(*name) params;
struct Es2Calls {
    YARVIK_ES2_CALLS(YARVIK_ES2_CALL_POINTER)
};
#undef YARVIK_ES2_CALL_POINTER
