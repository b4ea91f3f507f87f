// The layer's shader programs: one per combination of the state that changes what a vertex or
// fragment computes (lighting, sphere-map generation, texturing, wide lines), and one for
// bitmaps. All are built when the layer starts.
#pragma once

#include "platform/gles2/es2_calls.h"

enum ProgramBit {
    PROGRAM_LIT = 1,
    PROGRAM_TEXGEN = 2,
    PROGRAM_TEXTURED = 4,
    PROGRAM_WIDE_LINE = 8,
};
constexpr int PROGRAM_BITMAP = 16;
constexpr int PROGRAM_COUNT = 17;

// Vertex attribute locations, the same in every program.
enum Attribute {
    ATTRIBUTE_POSITION,
    ATTRIBUTE_COLOUR,
    ATTRIBUTE_NORMAL,
    ATTRIBUTE_TEXCOORD,
    ATTRIBUTE_OTHER,   // wide lines: the line's other end; w: which side, and which end
    ATTRIBUTE_COUNT,
};

// A program and its uniforms' locations (-1 where the program has no such uniform).
struct Gles2Program {
    GLuint program;
    GLint mvp;
    GLint modelview;
    GLint normalMatrix;
    GLint normalize;
    GLint pointSize;
    GLint sceneColour;
    GLint lightAmbient;
    GLint lightDiffuse;
    GLint lightPosition;
    GLint attenuation;
    GLint lightOn;
    GLint texGen;
    GLint viewport;
    GLint lineHalfWidth;
    GLint atlasSize;
    GLint texture;
};

// Builds every program; false (with the compiler's message on standard error) when one fails.
bool gles2BuildPrograms(const Es2Calls& es, Gles2Program programs[PROGRAM_COUNT]);
