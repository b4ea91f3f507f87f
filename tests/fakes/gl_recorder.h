// A test double for GL 1.1 and GLU: every entry point the demo calls is defined here and
// records its call with its arguments, while a small state model follows what GL would
// hold (matrix stacks with real matrices, enables, blend function, bound texture, current
// colour, list base, textures and their images). Tests link it instead of libGL/libGLU.
#pragma once

#include "shell/gl.h"

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

using Mat4 = std::array<double, 16>;  // column-major, as GL stores it

struct GlCall {
    std::string name;          // "glEnable", "gluPerspective", ...
    std::vector<double> args;  // numeric arguments in order (enums as their values)
    std::string text;          // bytes passed to glCallLists
};

struct GlTexture {
    int width = 0;
    int height = 0;
    GLenum format = 0;
    GLint internalFormat = 0;
    std::vector<unsigned char> pixels;
    GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;
    GLint magFilter = GL_LINEAR;
};

struct GlLight {
    std::map<GLenum, std::array<float, 4>> params;
};

struct GlRecorder {
    // Off: only count calls (benchmarks, the allocation test). Counting allocates nothing: the
    // state kept in node-based containers (enables, lights, texture generation) is then not
    // followed; matrices, colour, bindings and the list base still are.
    bool keepCalls = true;
    long callCount = 0;
    std::vector<GlCall> calls;

    GLenum matrixMode = GL_MODELVIEW;
    std::vector<Mat4> modelview;   // stack; back() is current
    std::vector<Mat4> projection;
    std::vector<Mat4> texture;
    std::set<GLenum> enabled;
    GLenum blendSrc = GL_ONE;
    GLenum blendDst = GL_ZERO;
    GLuint boundTexture = 0;
    GLuint listBase = 0;
    std::vector<GLuint> listBaseStack;
    std::array<float, 4> color{1, 1, 1, 1};
    std::array<float, 4> clearColor{0, 0, 0, 0};
    std::array<float, 3> normal{0, 0, 1};
    std::array<float, 2> texCoord{0, 0};
    std::array<float, 4> rasterPos{0, 0, 0, 1};
    std::array<float, 4> rasterColor{1, 1, 1, 1};
    GLint unpackAlignment = 4;
    GLenum primitive = 0;      // inside glBegin/glEnd: the mode; otherwise 0
    GLenum error = GL_NO_ERROR;  // what the next glGetError reports (and clears); set by a test
    int beginEndPairs = 0;
    std::map<GLenum, GLint> texGenMode;  // GL_S/GL_T -> mode
    std::map<GLenum, GlLight> lights;
    GLuint nextTexture = 1;
    std::map<GLuint, GlTexture> textures;
    GLuint nextList = 1;
    GLuint compilingList = 0;
    std::map<GLuint, std::vector<GlCall>> lists;
};

extern GlRecorder glrec;

// Back to a fresh context: no calls, default state.
void glRecorderReset();

// Calls named so, in order.
std::vector<GlCall> glCallsNamed(const std::string& name);
// The names of all recorded calls, in order.
std::vector<std::string> glCallNames();
// Index of the first call named so at or after `from`, or -1.
int glFindCall(const std::string& name, size_t from = 0);

Mat4 mat4Identity();
Mat4 mat4Multiply(const Mat4& a, const Mat4& b);
// Transforms a point (x, y, z, 1) by m; returns x, y, z, w.
std::array<double, 4> mat4Apply(const Mat4& m, double x, double y, double z);
