// The window seam on EGL with desktop GL or ES 2 (see either_gl_window.h).
#include "tests/gles2/either_gl_window.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdlib>

#include "platform/gl/gl_calls.h"
#include "platform/gles2/gles2.h"
#include "shell/window.h"

TestGl testGl = TEST_GL_DESKTOP;

static EGLDisplay display = EGL_NO_DISPLAY;
static EGLSurface surface = EGL_NO_SURFACE;
static EGLContext context = EGL_NO_CONTEXT;
static uint8_t* pixels = nullptr;

static GlProc lookUp(const char* name) { return eglGetProcAddress(name); }

static bool makeContext(int width, int height)
{
    const bool es2 = testGl == TEST_GL_ES2;
    display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr) ||
        !eglBindAPI(es2 ? EGL_OPENGL_ES_API : EGL_OPENGL_API)) {
        return false;
    }
    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                             es2 ? EGL_OPENGL_ES2_BIT : EGL_OPENGL_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                             EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 16, EGL_STENCIL_SIZE, 0,
                             EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (!eglChooseConfig(display, wanted, &config, 1, &found) || found == 0) {
        return false;
    }
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, size);
    const EGLint desktop[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                              EGL_NONE};
    const EGLint version2[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, es2 ? version2 : desktop);
    if (surface == EGL_NO_SURFACE || context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, surface, surface, context)) {
        return false;
    }
    if (es2) {
        if (!gles2Start(lookUp)) {
            return false;
        }
        useGlCalls(gles2Calls());
        return true;
    }
    return useDesktopGl(lookUp) == nullptr;
}

void createDemoWindow()
{
    pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(windowRequest.width) * windowRequest.height * 4));
    if (!makeContext(windowRequest.width, windowRequest.height)) {
        failDemoWindow(testGl == TEST_GL_ES2 ? "no ES 2 context for the GL 1.1 layer" : "no desktop GL context");
        return;
    }
    finishDemoWindow(windowRequest.width, windowRequest.height);
}

const uint8_t* testGlFrame()
{
    glReadPixels(0, 0, windowPicture.outputWidth, windowPicture.outputHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    return pixels;
}

int pumpMessages() { return demoRunning; }

void destroyDemoWindow()
{
    if (context != EGL_NO_CONTEXT) {
        demoWindowProc(EVENT_DESTROY);
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display, context);
    }
    if (surface != EGL_NO_SURFACE) {
        eglDestroySurface(display, surface);
    }
    eglReleaseThread();
    useGlCalls(nullptr);
    std::free(pixels);
    pixels = nullptr;
    context = EGL_NO_CONTEXT;
    surface = EGL_NO_SURFACE;
}
