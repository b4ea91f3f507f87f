// The real window on SDL2, made as windowCore.request asks: by default the 640x480 display mode
// and a borderless full-screen window; a captioned window of any size; or a borderless window
// over the whole desktop at its own resolution, with no mode change. Then a double-buffered
// GL context, the event pump and the buffer swap. The context is legacy desktop GL, or with
// WINDOW_GL_ES2 SDL's OpenGL ES 2.0 profile with the GL 1.1 layer on it; either way the demo's GL
// calls reach it through platform/gl's table, filled from SDL_GL_GetProcAddress, so the program
// links no GL library: SDL loads the one the context needs (libGL, or libGLESv2 where the X
// server's GLX cannot make ES contexts and SDL makes them on EGL).
#include <SDL.h>

#include <cstdio>

#include "platform/gl/gl_calls.h"
#include "platform/gles2/gles2.h"
#include "platform/sdl/system.h"
#include "platform/sdl/x_errors.h"
#include "shell/gl.h"
#include "shell/process.h"
#include "shell/window.h"

// The window and its context (the display's mode goes with the window), and the reason the
// last one could not be made.
struct SdlWindowState {
    SDL_Window* demoWindow;
    SDL_GLContext demoContext;
    bool cursorHidden;
    bool lost;              // an X error since the window stood: it is gone (destroyed from outside)
    char failureText[256];  // what windowCore.failure points to
};
static constexpr SdlWindowState SDL_WINDOW_START_STATE = {nullptr, nullptr, false, false, {}};
static SdlWindowState sdlWindow = SDL_WINDOW_START_STATE;

// The loop handles one event per pass, so events it never acts on are kept out of the queue:
// SDL queues every mouse movement, key release and character typed, and a burst of them
// would hold Escape back for seconds. What gets in: Escape, a close request, and SDL's own
// bookkeeping events; and a change of the window's size, which the picture follows.
static const Uint32 IGNORED_EVENT_TYPES[] = {
    SDL_KEYUP,       SDL_TEXTEDITING, SDL_TEXTINPUT,   SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN,
    SDL_MOUSEBUTTONUP, SDL_MOUSEWHEEL, SDL_FINGERDOWN, SDL_FINGERUP,    SDL_FINGERMOTION,
    SDL_DROPFILE,    SDL_DROPTEXT,    SDL_DROPBEGIN,   SDL_DROPCOMPLETE,
};

static int SDLCALL admitEvent(void*, SDL_Event* event)
{
    if (event->type == SDL_KEYDOWN) {
        return event->key.keysym.sym == SDLK_ESCAPE;
    }
    if (event->type == SDL_WINDOWEVENT) {
        return event->window.event == SDL_WINDOWEVENT_CLOSE || event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED;
    }
    return 1;
}

static void admitOnlyEventsActedOn()
{
    for (Uint32 type : IGNORED_EVENT_TYPES) {
        SDL_EventState(type, SDL_IGNORE);
    }
    SDL_SetEventFilter(admitEvent, nullptr);
}

static void failWithSdlError(const char* what)
{
    std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText, "%s: %s", what, SDL_GetError());
    failDemoWindow(sdlWindow.failureText);
}

static void requestPixelFormat()
{
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (windowCore.request.gl == WINDOW_GL_ES2) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    } else {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    }
}

static GlProc sdlGlProc(const char* name) { return reinterpret_cast<GlProc>(SDL_GL_GetProcAddress(name)); }

// Points the demo's GL calls at the current context: the driver's own functions, or the GL 1.1
// layer started on the ES 2 context. False, with the reason recorded, when that cannot be.
static bool useContextGl()
{
    if (windowCore.request.gl == WINDOW_GL_ES2) {
        if (!gles2Start(sdlGlProc)) {
            std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText,
                          "cannot draw on this OpenGL ES 2 context: it lacks a call or a shader does not build");
            return false;
        }
        useGlCalls(gles2Calls());
    } else if (const char* missing = useDesktopGl(sdlGlProc)) {
        std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText,
                      "cannot draw with this OpenGL: it lacks %s", missing);
        return false;
    }
    return true;
}

// SDL changes the mode silently and falls back to the closest larger one; anything but an
// exact 640x480 mode with a 640x480 drawable counts as refused. The desktop's own resolution
// is always there to fall back on, so the reason says how.
static bool modeIsExact()
{
    SDL_DisplayMode mode{};
    int display = SDL_GetWindowDisplayIndex(sdlWindow.demoWindow);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) {
        std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText, "cannot read the display mode: %s",
                      SDL_GetError());
        return false;
    }
    int w = 0;
    int h = 0;
    SDL_GL_GetDrawableSize(sdlWindow.demoWindow, &w, &h);
    if (mode.w == SCREEN_WIDTH && mode.h == SCREEN_HEIGHT && w == SCREEN_WIDTH && h == SCREEN_HEIGHT) {
        return true;
    }
    // Either the display did not switch, or it did for the program while the desktop keeps
    // the window at its screen's size (a Wayland desktop running X programs does so).
    if (mode.w != SCREEN_WIDTH || mode.h != SCREEN_HEIGHT) {
        std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText,
                      "the display refused to switch to %dx%d (it stays at %dx%d); "
                      "yarvik --desktop shows it at the display's own size",
                      SCREEN_WIDTH, SCREEN_HEIGHT, mode.w, mode.h);
    } else {
        std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText,
                      "the desktop refused a %dx%d full screen and keeps the window at %dx%d "
                      "(Wayland desktops do); yarvik --desktop shows it at the display's own size",
                      SCREEN_WIDTH, SCREEN_HEIGHT, w, h);
    }
    return false;
}

// The window for the requested mode, hidden until it is shown: a captioned one centred, which
// the user may resize; a full-screen one at 0,0. Where the display scales its windows (Wayland
// at 2x, say) the windows over the desktop and captioned ones ask for a drawable at the
// output's own resolution, which SDL_GL_GetDrawableSize then gives; on X11 it is the window's
// size anyway. Over the desktop the window is made as large as the first display
// from the start: the window manager's full-screen state, where there is one, keeps it so,
// and without one (a bare X server) nothing else would.
static SDL_Window* createWindow()
{
    const WindowRequest& request = windowCore.request;
    switch (request.mode) {
    case WINDOW_CAPTIONED:
        return SDL_CreateWindow("Yarvik", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, request.width,
                                request.height,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE |
                                    SDL_WINDOW_ALLOW_HIGHDPI);
    case WINDOW_DESKTOP: {
        SDL_Rect desktop{0, 0, SCREEN_WIDTH, SCREEN_HEIGHT};
        SDL_GetDisplayBounds(0, &desktop);
        return SDL_CreateWindow("Yarvik", desktop.x, desktop.y, desktop.w, desktop.h,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS |
                                    SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_ALLOW_HIGHDPI);
    }
    case WINDOW_DISPLAY_MODE:
        break;
    }
    return SDL_CreateWindow("Yarvik", 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN);
}

// Lets go of the GL context and the window, whichever stand.
static void dropWindowAndContext()
{
    if (sdlWindow.demoContext != nullptr) {
        useGlCalls(nullptr);
        SDL_GL_MakeCurrent(sdlWindow.demoWindow, nullptr);
        SDL_GL_DeleteContext(sdlWindow.demoContext);
        sdlWindow.demoContext = nullptr;
    }
    if (sdlWindow.demoWindow != nullptr) {
        SDL_DestroyWindow(sdlWindow.demoWindow);
        sdlWindow.demoWindow = nullptr;
    }
}

// The window, the GL context made current, and the display mode. Returns false, with the
// reason recorded, when any of them cannot be had; nothing of them is left then. The context
// is made while the window is still hidden: once shown, the window can be destroyed from
// outside at any moment, and SDL's X11 context creation reads the window's attributes without
// checking that they came back.
static bool makeWindowAndContext()
{
    sdlWindow.demoWindow = createWindow();
    if (sdlWindow.demoWindow == nullptr) {
        failWithSdlError("cannot create the window");
        return false;
    }
    if (windowCore.request.mode == WINDOW_CAPTIONED) {
        // The sizes --window accepts are the sizes it may be resized to.
        SDL_SetWindowMinimumSize(sdlWindow.demoWindow, OUTPUT_MIN_WIDTH, OUTPUT_MIN_HEIGHT);
        SDL_SetWindowMaximumSize(sdlWindow.demoWindow, OUTPUT_MAX_SIDE, OUTPUT_MAX_SIDE);
    }

    sdlWindow.demoContext = SDL_GL_CreateContext(sdlWindow.demoWindow);
    const bool current =
        sdlWindow.demoContext != nullptr && SDL_GL_MakeCurrent(sdlWindow.demoWindow, sdlWindow.demoContext) == 0;
    if (!current) {
        failWithSdlError(windowCore.request.gl == WINDOW_GL_ES2 ? "cannot create the OpenGL ES 2.0 context"
                                                                : "cannot create the OpenGL context");
        dropWindowAndContext();
        return false;
    }
    if (!useContextGl()) {
        failDemoWindow(sdlWindow.failureText);
        dropWindowAndContext();
        return false;
    }
    // An X error until here (a GL driver the server refuses) is a failure to make them; one
    // later is the window's loss, which the event poll reports.
    xErrorsSync(sdlWindow.demoWindow);
    if (const char* xError = xErrorsTake()) {
        std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText, "cannot create the OpenGL context: %s",
                      xError);
        failDemoWindow(sdlWindow.failureText);
        dropWindowAndContext();
        return false;
    }

    if (windowCore.request.mode == WINDOW_DISPLAY_MODE) {
        SDL_DisplayMode wanted{SDL_PIXELFORMAT_RGB888, SCREEN_WIDTH, SCREEN_HEIGHT, 0, nullptr};
        SDL_SetWindowDisplayMode(sdlWindow.demoWindow, &wanted);
        SDL_ShowWindow(sdlWindow.demoWindow);
        if (!modeIsExact()) {
            dropWindowAndContext();
            failDemoWindow(sdlWindow.failureText);
            return false;
        }
    }
    if (windowCore.request.mode != WINDOW_CAPTIONED) {
        SDL_ShowCursor(SDL_DISABLE);
        sdlWindow.cursorHidden = true;
    }
    return true;
}

void createDemoWindow()
{
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    const bool waylandLeftOut = preferVideoDriver(windowCore.request.mode == WINDOW_DISPLAY_MODE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (waylandLeftOut) {
            // A Wayland desktop without X11: SDL's own reason names only X11.
            std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText,
                          "cannot open the display: %s; a %dx%d full screen needs X11, and "
                          "yarvik --desktop shows it on this Wayland desktop",
                          SDL_GetError(), SCREEN_WIDTH, SCREEN_HEIGHT);
            failDemoWindow(sdlWindow.failureText);
            return;
        }
        failWithSdlError("cannot open the display");
        return;
    }
    // With no display SDL falls back to drivers that show nothing; a demo nobody can see
    // counts as having no display.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) {
        std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText,
                      "cannot open the display: no display available (video driver %s)", driver ? driver : "none");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        failDemoWindow(sdlWindow.failureText);
        return;
    }
    admitOnlyEventsActedOn();
    requestPixelFormat();

    // X errors are caught from here until the window is gone (platform/sdl/x_errors.h).
    SDL_DisplayMode desktop{};
    SDL_GetDesktopDisplayMode(0, &desktop);
    xErrorsCatch(windowCore.request.mode == WINDOW_DISPLAY_MODE, desktop.w, desktop.h);
    if (!makeWindowAndContext()) {
        xErrorsRelease();
        return;
    }
    // Shown first: a full-screen window has the desktop's size from then on.
    SDL_ShowWindow(sdlWindow.demoWindow);
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(sdlWindow.demoWindow, &width, &height);
    finishDemoWindow(width, height);
}

// An X error while the window stands means it has gone from under the demo (destroyed from
// outside; the swap that drew to it failed): that ends the run as a close request does, with
// the reason on stderr, and nothing more is drawn to it.
static bool windowLost()
{
    if (sdlWindow.lost) {
        return false;
    }
    const char* xError = xErrorsTake();
    if (xError == nullptr) {
        return false;
    }
    sdlWindow.lost = true;
    std::fprintf(stderr, "yarvik: the window is gone: %s\n", xError);
    std::fflush(stderr);
    return true;
}

// A close signal counts as a close request, ahead of anything queued.
bool windowPollEvent(DemoEvent* event)
{
    if (takeCloseSignal() != 0 || windowLost()) {
        *event = EVENT_CLOSE;
        return true;
    }
    SDL_Event taken;
    if (!SDL_PollEvent(&taken)) {
        return false;
    }
    if (taken.type == SDL_KEYDOWN) {
        *event = taken.key.keysym.sym == SDLK_ESCAPE ? EVENT_ESCAPE_KEY : EVENT_OTHER_KEY;
        return true;
    }
    if (taken.type == SDL_QUIT || (taken.type == SDL_WINDOWEVENT && taken.window.event == SDL_WINDOWEVENT_CLOSE)) {
        *event = EVENT_CLOSE;
        return true;
    }
    if (taken.type == SDL_WINDOWEVENT && taken.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        int width = 0;
        int height = 0;
        SDL_GL_GetDrawableSize(sdlWindow.demoWindow, &width, &height);
        resizeDemoWindow(width, height);
    }
    return false;
}

void windowPresent()
{
    if (sdlWindow.demoWindow != nullptr && !sdlWindow.lost) {
        SDL_GL_SwapWindow(sdlWindow.demoWindow);
    }
}

void destroyDemoWindow()
{
    useGlCalls(nullptr);
    if (sdlWindow.demoContext != nullptr) {
        SDL_GL_MakeCurrent(sdlWindow.demoWindow, nullptr);
        SDL_GL_DeleteContext(sdlWindow.demoContext);
    }
    if (sdlWindow.demoWindow != nullptr) {
        demoWindowProc(EVENT_DESTROY);
        SDL_DestroyWindow(sdlWindow.demoWindow);  // leaves full screen and restores the display mode
        xErrorsRelease();  // the errors of a window destroyed twice are dropped
    }
    sdlWindow.demoContext = nullptr;
    sdlWindow.demoWindow = nullptr;
    sdlWindow.lost = false;
    if (sdlWindow.cursorHidden) {
        SDL_ShowCursor(SDL_ENABLE);
        sdlWindow.cursorHidden = false;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
}
