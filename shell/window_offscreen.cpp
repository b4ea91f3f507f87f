// The offscreen window on EGL. Mesa's surfaceless platform needs no window system: a pbuffer
// surface of the requested size (RGBA 8 bits per channel and a 16-bit depth buffer, like the
// real window; multisampled when samples are asked for) and a desktop GL context in the
// compatibility profile on it. A pbuffer, not a framebuffer object: it is a window-system
// buffer like a real window's, which Mesa stores top row first, and so rasterises exactly as
// a window does; a framebuffer object, stored the other way up, gives pixels that differ by
// a step here and there. What a swap would present is handed to offscreenPresent. There are
// no events: running falls only when someone clears it.
#include "shell/window_offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>

#include "shell/gl.h"
#include "shell/window.h"

void (*offscreenPresent)(const uint8_t* rgba) = nullptr;

struct OffscreenState {
    EGLDisplay display;
    EGLSurface surface;
    EGLContext context;
    int width;
    int height;
    uint8_t* pixels;  // width x height RGBA, bottom row first
};
static const OffscreenState OFFSCREEN_START = {EGL_NO_DISPLAY, EGL_NO_SURFACE, EGL_NO_CONTEXT, 0, 0, nullptr};
static OffscreenState offscreen = OFFSCREEN_START;
static char failureText[256];

static void failOffscreen(const char* what)
{
    std::snprintf(failureText, sizeof failureText, "cannot create the offscreen OpenGL context: %s (EGL error 0x%04x)",
                  what, static_cast<unsigned>(eglGetError()));
    failDemoWindow(failureText);
}

// The buffer configuration: the fewest samples per pixel that are at least those asked for.
static bool chooseConfig(EGLConfig* config)
{
    const EGLint samples = windowRequest.samples;
    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                             EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                             EGL_DEPTH_SIZE, 16, EGL_STENCIL_SIZE, 0, EGL_SAMPLE_BUFFERS, samples > 0 ? 1 : 0,
                             EGL_SAMPLES, samples, EGL_NONE};
    EGLint found = 0;
    if (!eglChooseConfig(offscreen.display, wanted, config, 1, &found) || found == 0) {
        if (samples > 0) {
            std::snprintf(failureText, sizeof failureText,
                          "cannot render with %d samples per pixel: the GL does not offer that many", samples);
            failDemoWindow(failureText);
        } else {
            failOffscreen("no RGBA buffer with a depth buffer");
        }
        return false;
    }
    return true;
}

// The display without a window system, the pbuffer, and a compatibility-profile context on
// it made current.
static bool makeContext()
{
    offscreen.display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (offscreen.display == EGL_NO_DISPLAY || !eglInitialize(offscreen.display, nullptr, nullptr)) {
        failOffscreen("no EGL display without a window system");
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        failOffscreen("EGL offers no desktop OpenGL");
        return false;
    }
    EGLConfig config = nullptr;
    if (!chooseConfig(&config)) {
        return false;
    }
    const EGLint size[] = {EGL_WIDTH, offscreen.width, EGL_HEIGHT, offscreen.height, EGL_NONE};
    offscreen.surface = eglCreatePbufferSurface(offscreen.display, config, size);
    if (offscreen.surface == EGL_NO_SURFACE) {
        failOffscreen("no buffer of that size");
        return false;
    }
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    offscreen.context = eglCreateContext(offscreen.display, config, EGL_NO_CONTEXT, attributes);
    if (offscreen.context == EGL_NO_CONTEXT) {
        failOffscreen("no compatibility-profile context");
        return false;
    }
    if (!eglMakeCurrent(offscreen.display, offscreen.surface, offscreen.surface, offscreen.context)) {
        failOffscreen("the context cannot be made current");
        return false;
    }
    return true;
}

static void releaseOffscreen()
{
    if (offscreen.display != EGL_NO_DISPLAY) {
        eglMakeCurrent(offscreen.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (offscreen.context != EGL_NO_CONTEXT) {
            eglDestroyContext(offscreen.display, offscreen.context);
        }
        if (offscreen.surface != EGL_NO_SURFACE) {
            eglDestroySurface(offscreen.display, offscreen.surface);
        }
        eglTerminate(offscreen.display);
    }
    std::free(offscreen.pixels);
    offscreen = OFFSCREEN_START;
}

void createDemoWindow()
{
    offscreen.width = windowRequest.width;
    offscreen.height = windowRequest.height;
    offscreen.pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(offscreen.width) * offscreen.height * 4));
    if (offscreen.pixels == nullptr) {
        failDemoWindow("not enough memory for the offscreen frame");
        releaseOffscreen();
        return;
    }
    if (!makeContext()) {
        releaseOffscreen();
        return;
    }
    finishDemoWindow(offscreen.width, offscreen.height);
}

// Reading the pixels waits for the renderer; a multisampled buffer is resolved on the way.
const uint8_t* offscreenFrame()
{
    glReadPixels(0, 0, offscreen.width, offscreen.height, GL_RGBA, GL_UNSIGNED_BYTE, offscreen.pixels);
    return offscreen.pixels;
}

int pumpMessages()
{
    if (offscreen.context != EGL_NO_CONTEXT && offscreenPresent != nullptr) {
        offscreenPresent(offscreenFrame());
    }
    return running;
}

void destroyDemoWindow()
{
    if (offscreen.context != EGL_NO_CONTEXT) {
        demoWindowProc(EVENT_DESTROY);
    }
    releaseOffscreen();
}
