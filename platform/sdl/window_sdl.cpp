// The real window on SDL2, made as windowCore.request asks: by default the 640x480 display mode
// and a borderless full-screen window; a captioned window of any size; or a borderless window
// over the whole desktop at its own resolution, with no mode change. Then a double-buffered
// legacy GL context, the event pump and the buffer swap.
#include <SDL.h>

#include <cstdio>

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
    char failureText[256];  // what windowCore.failure points to
};
static constexpr SdlWindowState SDL_WINDOW_START_STATE = {nullptr, nullptr, false, {}};
static SdlWindowState sdlWindow = SDL_WINDOW_START_STATE;

// The loop handles one event per pass, so events it never acts on are kept out of the queue:
// SDL queues every mouse movement, key release and character typed, and a burst of them
// would hold Escape back for seconds. What gets in: Escape, a close request, and SDL's own
// bookkeeping events.
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
        return event->window.event == SDL_WINDOWEVENT_CLOSE;
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
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
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
    std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText,
                  "display mode %dx%d refused (the display is %dx%d, the window %dx%d); "
                  "yarvik --desktop shows it at the display's own size",
                  SCREEN_WIDTH, SCREEN_HEIGHT, mode.w, mode.h, w, h);
    return false;
}

// The window for the requested mode, hidden until it is shown: a captioned one centred; a
// full-screen one at 0,0. Over the desktop the window is made as large as the first display
// from the start: the window manager's full-screen state, where there is one, keeps it so,
// and without one (a bare X server) nothing else would.
static SDL_Window* createWindow()
{
    const WindowRequest& request = windowCore.request;
    switch (request.mode) {
    case WINDOW_CAPTIONED:
        return SDL_CreateWindow("Yarvik", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, request.width,
                                request.height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    case WINDOW_DESKTOP: {
        SDL_Rect desktop{0, 0, SCREEN_WIDTH, SCREEN_HEIGHT};
        SDL_GetDisplayBounds(0, &desktop);
        return SDL_CreateWindow("Yarvik", desktop.x, desktop.y, desktop.w, desktop.h,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS |
                                    SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    case WINDOW_DISPLAY_MODE:
        break;
    }
    return SDL_CreateWindow("Yarvik", 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN);
}

// The window, the display mode and the GL context, made current. Returns false, with the
// reason recorded, when any of them cannot be had; nothing of them is left then.
static bool makeWindowAndContext()
{
    sdlWindow.demoWindow = createWindow();
    if (sdlWindow.demoWindow == nullptr) {
        failWithSdlError("cannot create the window");
        return false;
    }
    if (windowCore.request.mode == WINDOW_DISPLAY_MODE) {
        SDL_DisplayMode wanted{SDL_PIXELFORMAT_RGB888, SCREEN_WIDTH, SCREEN_HEIGHT, 0, nullptr};
        SDL_SetWindowDisplayMode(sdlWindow.demoWindow, &wanted);
        SDL_ShowWindow(sdlWindow.demoWindow);
        if (!modeIsExact()) {
            SDL_DestroyWindow(sdlWindow.demoWindow);
            sdlWindow.demoWindow = nullptr;
            failDemoWindow(sdlWindow.failureText);
            return false;
        }
    }
    if (windowCore.request.mode != WINDOW_CAPTIONED) {
        SDL_ShowCursor(SDL_DISABLE);
        sdlWindow.cursorHidden = true;
    }

    sdlWindow.demoContext = SDL_GL_CreateContext(sdlWindow.demoWindow);
    if (sdlWindow.demoContext == nullptr || SDL_GL_MakeCurrent(sdlWindow.demoWindow, sdlWindow.demoContext) != 0) {
        failWithSdlError("cannot create the OpenGL context");
        if (sdlWindow.demoContext != nullptr) {
            SDL_GL_DeleteContext(sdlWindow.demoContext);
            sdlWindow.demoContext = nullptr;
        }
        SDL_DestroyWindow(sdlWindow.demoWindow);
        sdlWindow.demoWindow = nullptr;
        return false;
    }
    return true;
}

void createDemoWindow()
{
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    preferVideoDriver();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
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

    // An X error on the way (a GL driver the server refuses) is a failure like any other.
    xErrorsCatch();
    bool made = makeWindowAndContext();
    if (made) {
        // Shown first: a full-screen window has the desktop's size from then on.
        SDL_ShowWindow(sdlWindow.demoWindow);
        int width = 0;
        int height = 0;
        SDL_GL_GetDrawableSize(sdlWindow.demoWindow, &width, &height);
        finishDemoWindow(width, height);
        xErrorsSync(sdlWindow.demoWindow);
    }
    const char* xError = xErrorsRelease();
    if (made && xError != nullptr) {
        SDL_GL_MakeCurrent(sdlWindow.demoWindow, nullptr);
        SDL_GL_DeleteContext(sdlWindow.demoContext);
        sdlWindow.demoContext = nullptr;
        SDL_DestroyWindow(sdlWindow.demoWindow);
        sdlWindow.demoWindow = nullptr;
        std::snprintf(sdlWindow.failureText, sizeof sdlWindow.failureText, "%s", xError);
        failDemoWindow(sdlWindow.failureText);
    }
}

// A close signal counts as a close request, ahead of anything queued.
bool windowPollEvent(DemoEvent* event)
{
    if (takeCloseSignal() != 0) {
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
    return false;
}

void windowPresent()
{
    if (sdlWindow.demoWindow != nullptr) {
        SDL_GL_SwapWindow(sdlWindow.demoWindow);
    }
}

void destroyDemoWindow()
{
    if (sdlWindow.demoContext != nullptr) {
        SDL_GL_MakeCurrent(sdlWindow.demoWindow, nullptr);
        SDL_GL_DeleteContext(sdlWindow.demoContext);
    }
    if (sdlWindow.demoWindow != nullptr) {
        demoWindowProc(EVENT_DESTROY);
        SDL_DestroyWindow(sdlWindow.demoWindow);  // leaves full screen and restores the display mode
    }
    sdlWindow.demoContext = nullptr;
    sdlWindow.demoWindow = nullptr;
    if (sdlWindow.cursorHidden) {
        SDL_ShowCursor(SDL_ENABLE);
        sdlWindow.cursorHidden = false;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
}
