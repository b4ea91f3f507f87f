#include "tests/fuzz/gl_stub.h"

#include <cstdlib>

#include "shell/gl.h"

GlStub glStub = {0, 0, 4, 0, 0};

void glGenTextures(GLsizei n, GLuint* names)
{
    for (GLsizei i = 0; i < n; ++i) {
        names[i] = ++glStub.generated;
    }
}

void glBindTexture(GLenum, GLuint name) { glStub.bound = name; }

void glPixelStorei(GLenum pname, GLint param)
{
    if (pname == GL_UNPACK_ALIGNMENT) {
        glStub.alignment = param;
    }
}

void glGetIntegerv(GLenum pname, GLint* params)
{
    *params = pname == GL_UNPACK_ALIGNMENT ? glStub.alignment : 0;
}

void glTexParameteri(GLenum, GLenum, GLint) {}

// Reads what GL reads: height rows of width pixels, each row starting on a multiple of the
// unpack alignment. A buffer too small for that is a read past its end.
void glTexImage2D(GLenum, GLint, GLint, GLsizei width, GLsizei height, GLint, GLenum format, GLenum,
                  const GLvoid* pixels)
{
    if (glStub.bound == 0 || pixels == nullptr || width <= 0 || height <= 0) {
        std::abort();
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(pixels);
    size_t rowBytes = size_t(width) * (format == GL_RGBA ? 4 : 3);
    size_t alignment = size_t(glStub.alignment);
    size_t stride = (rowBytes + alignment - 1) / alignment * alignment;
    for (size_t row = 0; row < size_t(height); ++row) {
        for (size_t i = 0; i < rowBytes; ++i) {
            glStub.checksum = glStub.checksum * 31 + bytes[row * stride + i];
        }
    }
    ++glStub.uploads;
}
