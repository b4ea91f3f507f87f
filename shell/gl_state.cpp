// The standing GL state, set once when the context is made. The scenes rely on it: depth
// test with LEQUAL, back faces culled, texturing and blending on, sphere-map generation
// configured (but off), lighting off, and the perspective projection over the picture area.
// At any scale but 1, points and lines are one unit wide, so particles and outlines keep their
// weight; around a picture that leaves bars, drawing is cut to the picture area.
#include "shell/gl_state.h"

#include <cstdio>

#include "shell/gl.h"
#include "shell/window.h"

void setInitialGlState()
{
    const PictureArea& picture = windowCore.picture;
    glViewport(picture.x, picture.y, picture.width, picture.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The aspect ratio is the float 1.33, not 640/480.
    gluPerspective(45.0, 1.33f, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glDisable(GL_LIGHTING);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    if (picture.scale != 1.0f) {
        glPointSize(picture.scale);
        glLineWidth(picture.scale);
    }
    if (pictureHasBars(picture)) {
        glScissor(picture.x, picture.y, picture.width, picture.height);
        glEnable(GL_SCISSOR_TEST);
    }
}

// The scenes set their clear colour for the picture; the bars are cleared black apart, with
// the scissor widened to the whole output for that one clear.
void clearFrame()
{
    const PictureArea& picture = windowCore.picture;
    if (pictureHasBars(picture)) {
        GLfloat sceneColour[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, sceneColour);
        glScissor(0, 0, picture.outputWidth, picture.outputHeight);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(sceneColour[0], sceneColour[1], sceneColour[2], sceneColour[3]);
        glScissor(picture.x, picture.y, picture.width, picture.height);
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void reportGlErrors()
{
#ifndef NDEBUG
    // GL keeps at most one flag per kind of error; the bound only guards against a driver that
    // never reports GL_NO_ERROR.
    constexpr int ERROR_KINDS = 8;
    for (int i = 0; i < ERROR_KINDS; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) {
            break;
        }
        std::fprintf(stderr, "yarvik: GL error 0x%04x in this pass\n", static_cast<unsigned>(error));
    }
#endif
}
