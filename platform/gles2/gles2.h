// The demo's GL 1.1 on OpenGL ES 2: every entry point of platform/gl/gl_calls.h with GL 1.1's
// meaning (immediate mode, matrix stacks, lighting, sphere-map generation, display lists and
// bitmaps), drawn with GLSL ES 1.00 shaders from vertex data in buffer objects, so that the
// same code serves WebGL 1. It reaches ES 2 only through the function pointers its start is
// handed, and keeps everything in fixed tables: nothing is allocated once it has started.
//
// What it covers is what the demo calls, and no more:
// - primitives GL_POINTS, GL_LINES, GL_TRIANGLES and GL_QUADS (quads split in two triangles;
//   lines wider than one pixel drawn as quads widened across their minor axis, as GL 1.1
//   rasterises wide lines; points of any size); flat shading copies the colour and normal of
//   each primitive's provoking vertex to its other vertices;
// - the modelview and projection stacks; glRotatef, glTranslatef, glOrtho, glMultMatrixd in
//   float as GL does them;
// - light 0 with ambient, diffuse and position (specular is dropped: without glMaterial the
//   material's specular colour stays black), the default material and light model, attenuation
//   at its defaults; no colour material;
// - sphere-map generation for s and t; GL_NORMALIZE; texture environment GL_MODULATE only;
// - textures of GL_RGB or GL_RGBA bytes, used only while complete (an image at level 0 and a
//   minifying filter without mipmaps), so texture 0 and an incomplete texture mean texturing off;
// - display lists holding glBitmap only (the font), drawn untextured at the raster position in
//   the raster colour with the depth test, blending and scissor applied;
// - glPushAttrib/glPopAttrib for GL_LIST_BIT, GL_ENABLE_BIT and GL_CURRENT_BIT;
// - glGet for the values the demo and its tests read.
// Anything else sets GL_INVALID_ENUM and is otherwise ignored.
#pragma once

#include "platform/gl/gl_calls.h"

// Starts the layer on the current ES 2 context: looks its calls up through `load`, builds the
// shader programs and sets GL 1.1's start state. False (the layer unusable) when the context
// lacks a call or a shader does not build.
bool gles2Start(GlProcLoader load);

// The layer's entry points as a dispatch table.
const GlCalls* gles2Calls();

// Counts since the layer started, for tests and benchmarks.
struct Gles2Counters {
    long draws;      // ES draw calls
    long vertices;   // vertices handed to them
};
Gles2Counters gles2Counters();
