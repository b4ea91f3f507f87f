// The offscreen window on EGL. Mesa's surfaceless platform needs no window system: a pbuffer
// surface of the requested size (RGBA 8 bits per channel and a 16-bit depth buffer, like the
// real window; multisampled when samples are asked for) and a desktop GL context in the
// compatibility profile on it, or an OpenGL ES 2 context that the GL 1.1 layer draws on. A
// pbuffer, not a framebuffer object: it is a window-system buffer like a real window's, which
// Mesa stores top row first, and so rasterises exactly as a window does; a framebuffer object,
// stored the other way up, gives pixels that differ by a step here and there. A multisampled
// pbuffer is resolved into a plain framebuffer object before its pixels are read (read straight
// from the pbuffer, Mesa gives one sample per pixel, unresolved). What a swap would present is
// handed to offscreenPresent. There are no events: the running flag falls only when someone
// clears it.
#include "platform/offscreen/window_offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>

#include "platform/gl/gl_calls.h"
#include "platform/gles2/gles2.h"
#include "shell/gl.h"
#include "shell/window.h"

void (*offscreenPresent)(const uint8_t* rgba) = nullptr;

// The framebuffer-object entry points (GL 3.0) that resolving samples takes; GL 1.1's headers
// and libraries do not give them, so they are asked of EGL.
struct ResolveCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer;
};

struct OffscreenState {
    EGLDisplay display;
    EGLSurface surface;
    EGLContext context;
    int width;
    int height;
    uint8_t* pixels;        // width x height RGBA, bottom row first
    ResolveCalls gl;        // with samples only
    GLuint resolved;        // with samples: the plain framebuffer they are resolved into; else 0
    GLuint resolvedColour;
};
static const OffscreenState OFFSCREEN_START = {EGL_NO_DISPLAY, EGL_NO_SURFACE, EGL_NO_CONTEXT, 0, 0, nullptr, {}, 0, 0};
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
    const EGLint samples = windowCore.request.samples;
    const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                             windowCore.request.gl == WINDOW_GL_ES2 ? EGL_OPENGL_ES2_BIT : EGL_OPENGL_BIT,
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

// The display without a window system, the pbuffer, and a compatibility-profile (or ES 2)
// context on it made current, with the GL calls pointed at it.
static bool makeContext()
{
    const bool gles2 = windowCore.request.gl == WINDOW_GL_ES2;
    offscreen.display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (offscreen.display == EGL_NO_DISPLAY || !eglInitialize(offscreen.display, nullptr, nullptr)) {
        failOffscreen("no EGL display without a window system");
        return false;
    }
    if (!eglBindAPI(gles2 ? EGL_OPENGL_ES_API : EGL_OPENGL_API)) {
        failOffscreen(gles2 ? "EGL offers no OpenGL ES" : "EGL offers no desktop OpenGL");
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
    const EGLint desktop[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                              EGL_NONE};
    const EGLint es2[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    offscreen.context = eglCreateContext(offscreen.display, config, EGL_NO_CONTEXT, gles2 ? es2 : desktop);
    if (offscreen.context == EGL_NO_CONTEXT) {
        failOffscreen(gles2 ? "no ES 2 context" : "no compatibility-profile context");
        return false;
    }
    if (!eglMakeCurrent(offscreen.display, offscreen.surface, offscreen.surface, offscreen.context)) {
        failOffscreen("the context cannot be made current");
        return false;
    }
    if (gles2) {
        if (!gles2Start(eglGetProcAddress)) {
            failOffscreen("the GL 1.1 layer cannot start on this ES 2 context");
            return false;
        }
        useGlCalls(gles2Calls());
    } else if (const char* missing = useDesktopGl(eglGetProcAddress)) {
        std::snprintf(failureText, sizeof failureText, "cannot draw with this OpenGL: it lacks %s", missing);
        failDemoWindow(failureText);
        return false;
    }
    return true;
}

template <typename Call>
static bool findCall(Call* call, const char* name)
{
    *call = reinterpret_cast<Call>(eglGetProcAddress(name));
    return *call != nullptr;
}

// The plain framebuffer that a multisampled frame is resolved into.
static bool makeResolveFramebuffer()
{
    ResolveCalls& gl = offscreen.gl;
    if (!findCall(&gl.genFramebuffers, "glGenFramebuffers") || !findCall(&gl.bindFramebuffer, "glBindFramebuffer") ||
        !findCall(&gl.deleteFramebuffers, "glDeleteFramebuffers") ||
        !findCall(&gl.genRenderbuffers, "glGenRenderbuffers") ||
        !findCall(&gl.bindRenderbuffer, "glBindRenderbuffer") ||
        !findCall(&gl.deleteRenderbuffers, "glDeleteRenderbuffers") ||
        !findCall(&gl.renderbufferStorage, "glRenderbufferStorage") ||
        !findCall(&gl.framebufferRenderbuffer, "glFramebufferRenderbuffer") ||
        !findCall(&gl.blitFramebuffer, "glBlitFramebuffer")) {
        failDemoWindow("cannot resolve samples: the GL has no framebuffer objects");
        return false;
    }
    gl.genFramebuffers(1, &offscreen.resolved);
    gl.bindFramebuffer(GL_FRAMEBUFFER, offscreen.resolved);
    gl.genRenderbuffers(1, &offscreen.resolvedColour);
    gl.bindRenderbuffer(GL_RENDERBUFFER, offscreen.resolvedColour);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, offscreen.width, offscreen.height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, offscreen.resolvedColour);
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    return true;
}

static void releaseOffscreen()
{
    if (offscreen.resolved != 0) {
        offscreen.gl.deleteFramebuffers(1, &offscreen.resolved);
        offscreen.gl.deleteRenderbuffers(1, &offscreen.resolvedColour);
    }
    if (offscreen.display != EGL_NO_DISPLAY) {
        eglMakeCurrent(offscreen.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (offscreen.context != EGL_NO_CONTEXT) {
            eglDestroyContext(offscreen.display, offscreen.context);
        }
        if (offscreen.surface != EGL_NO_SURFACE) {
            eglDestroySurface(offscreen.display, offscreen.surface);
        }
        // The display itself stays initialised for the rest of the process (a window made
        // again finds it so): eglTerminate would unload Mesa's driver, only for the next window
        // to load it again, and would leave the driver's own allocations to leak checkers with
        // no library to name them by.
        eglReleaseThread();
    }
    useGlCalls(nullptr);
    std::free(offscreen.pixels);
    offscreen = OFFSCREEN_START;
}

void createDemoWindow()
{
    offscreen.width = windowCore.request.width;
    offscreen.height = windowCore.request.height;
    offscreen.pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(offscreen.width) * offscreen.height * 4));
    if (offscreen.pixels == nullptr) {
        failDemoWindow("not enough memory for the offscreen frame");
        releaseOffscreen();
        return;
    }
    if (!makeContext() || (windowCore.request.samples > 0 && !makeResolveFramebuffer())) {
        releaseOffscreen();
        return;
    }
    finishDemoWindow(offscreen.width, offscreen.height);
}

// Reading the pixels waits for the renderer. Samples are resolved first, by a copy that the
// scissor around the picture area must not cut. Null when the renderer ran out of memory
// during the frame: it may then have no buffer left to read, and reading would crash it.
const uint8_t* offscreenFrame()
{
    if (glGetError() == GL_OUT_OF_MEMORY) {
        return nullptr;
    }
    if (offscreen.resolved == 0) {
        glReadPixels(0, 0, offscreen.width, offscreen.height, GL_RGBA, GL_UNSIGNED_BYTE, offscreen.pixels);
        return offscreen.pixels;
    }
    const ResolveCalls& gl = offscreen.gl;
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, offscreen.resolved);
    gl.blitFramebuffer(0, 0, offscreen.width, offscreen.height, 0, 0, offscreen.width, offscreen.height,
                       GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, offscreen.resolved);
    glReadPixels(0, 0, offscreen.width, offscreen.height, GL_RGBA, GL_UNSIGNED_BYTE, offscreen.pixels);
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    if (scissor) {
        glEnable(GL_SCISSOR_TEST);
    }
    return offscreen.pixels;
}

// No events: the running flag falls only when someone clears it.
bool windowPollEvent(DemoEvent*) { return false; }

void windowPresent()
{
    if (offscreen.context != EGL_NO_CONTEXT && offscreenPresent != nullptr) {
        offscreenPresent(offscreenFrame());
    }
}

void destroyDemoWindow()
{
    if (offscreen.context != EGL_NO_CONTEXT) {
        demoWindowProc(EVENT_DESTROY);
    }
    releaseOffscreen();
}
