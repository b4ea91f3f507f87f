// The real window on SDL2, made as windowRequest asks: by default the 640x480 display mode
// and a borderless full-screen window; a captioned window of any size; or a borderless window
// over the whole desktop at its own resolution, with no mode change. Then a double-buffered
// legacy GL context, the event pump and the buffer swap.
#include <SDL.h>
#include <SDL_syswm.h>

#include <dlfcn.h>

#include <cstdio>

#include "shell/gl.h"
#include "shell/process.h"
#include "shell/window.h"

static SDL_Window* demoWindow = nullptr;
static SDL_GLContext demoContext = nullptr;
static bool cursorHidden = false;
static char failureText[256];

// The first X error raised while the window and its context are made, as one line; empty
// for none. Without a handler of its own Xlib prints a protocol dump and ends the process.
static char xErrorText[256];

// Xlib is reached through the library SDL has already loaded, not linked: the program's own
// needs stay SDL2, GL and the C library.
struct XlibCalls {
    XErrorHandler (*setErrorHandler)(XErrorHandler);
    int (*getErrorText)(Display*, int, char*, int);
    int (*sync)(Display*, Bool);
};
static XlibCalls xlib = {nullptr, nullptr, nullptr};

static bool findXlib()
{
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return false;
    }
    xlib.setErrorHandler = reinterpret_cast<XErrorHandler (*)(XErrorHandler)>(dlsym(library, "XSetErrorHandler"));
    xlib.getErrorText = reinterpret_cast<int (*)(Display*, int, char*, int)>(dlsym(library, "XGetErrorText"));
    xlib.sync = reinterpret_cast<int (*)(Display*, Bool)>(dlsym(library, "XSync"));
    return xlib.setErrorHandler != nullptr && xlib.getErrorText != nullptr && xlib.sync != nullptr;
}

static int recordXError(Display* display, XErrorEvent* error)
{
    if (xErrorText[0] == '\0') {
        char name[128];
        xlib.getErrorText(display, error->error_code, name, sizeof name);
        std::snprintf(xErrorText, sizeof xErrorText, "cannot create the OpenGL context: X error %s (request %d.%d)",
                      name, error->request_code, error->minor_code);
    }
    return 0;
}

// Waits until the X server has answered every request so far, so that their errors are in.
static void syncWithX()
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (xlib.sync != nullptr && SDL_GetWindowWMInfo(demoWindow, &info) && info.subsystem == SDL_SYSWM_X11) {
        xlib.sync(info.info.x11.display, False);
    }
}

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
    std::snprintf(failureText, sizeof failureText, "%s: %s", what, SDL_GetError());
    failDemoWindow(failureText);
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
    int display = SDL_GetWindowDisplayIndex(demoWindow);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) {
        std::snprintf(failureText, sizeof failureText, "cannot read the display mode: %s", SDL_GetError());
        return false;
    }
    int w = 0;
    int h = 0;
    SDL_GL_GetDrawableSize(demoWindow, &w, &h);
    if (mode.w == SCREEN_WIDTH && mode.h == SCREEN_HEIGHT && w == SCREEN_WIDTH && h == SCREEN_HEIGHT) {
        return true;
    }
    std::snprintf(failureText, sizeof failureText,
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
    const WindowRequest& request = windowRequest;
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
    demoWindow = createWindow();
    if (demoWindow == nullptr) {
        failWithSdlError("cannot create the window");
        return false;
    }
    if (windowRequest.mode == WINDOW_DISPLAY_MODE) {
        SDL_DisplayMode wanted{SDL_PIXELFORMAT_RGB888, SCREEN_WIDTH, SCREEN_HEIGHT, 0, nullptr};
        SDL_SetWindowDisplayMode(demoWindow, &wanted);
        SDL_ShowWindow(demoWindow);
        if (!modeIsExact()) {
            SDL_DestroyWindow(demoWindow);
            demoWindow = nullptr;
            failDemoWindow(failureText);
            return false;
        }
    }
    if (windowRequest.mode != WINDOW_CAPTIONED) {
        SDL_ShowCursor(SDL_DISABLE);
        cursorHidden = true;
    }

    demoContext = SDL_GL_CreateContext(demoWindow);
    if (demoContext == nullptr || SDL_GL_MakeCurrent(demoWindow, demoContext) != 0) {
        failWithSdlError("cannot create the OpenGL context");
        if (demoContext != nullptr) {
            SDL_GL_DeleteContext(demoContext);
            demoContext = nullptr;
        }
        SDL_DestroyWindow(demoWindow);
        demoWindow = nullptr;
        return false;
    }
    return true;
}

void createDemoWindow()
{
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // X11 is where display modes can really be switched (Wayland desktops run it as well).
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_DEFAULT);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        failWithSdlError("cannot open the display");
        return;
    }
    // With no display SDL falls back to drivers that show nothing; a demo nobody can see
    // counts as having no display.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) {
        std::snprintf(failureText, sizeof failureText, "cannot open the display: no display available (video driver %s)",
                      driver ? driver : "none");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        failDemoWindow(failureText);
        return;
    }
    admitOnlyEventsActedOn();
    requestPixelFormat();

    // An X error on the way (a GL driver the server refuses) is a failure like any other.
    xErrorText[0] = '\0';
    bool watchX = findXlib();
    XErrorHandler previousHandler = watchX ? xlib.setErrorHandler(recordXError) : nullptr;
    bool made = makeWindowAndContext();
    if (made) {
        // Shown first: a full-screen window has the desktop's size from then on.
        SDL_ShowWindow(demoWindow);
        int width = 0;
        int height = 0;
        SDL_GL_GetDrawableSize(demoWindow, &width, &height);
        finishDemoWindow(width, height);
        syncWithX();
    }
    if (watchX) {
        xlib.setErrorHandler(previousHandler);
    }
    if (made && xErrorText[0] != '\0') {
        SDL_GL_MakeCurrent(demoWindow, nullptr);
        SDL_GL_DeleteContext(demoContext);
        demoContext = nullptr;
        SDL_DestroyWindow(demoWindow);
        demoWindow = nullptr;
        failDemoWindow(xErrorText);
    }
}

int pumpMessages()
{
    SDL_Event event;
    if (takeCloseSignal() != 0) {
        demoWindowProc(EVENT_CLOSE);
    } else if (SDL_PollEvent(&event)) {
        if (event.type == SDL_KEYDOWN) {
            demoWindowProc(event.key.keysym.sym == SDLK_ESCAPE ? EVENT_ESCAPE_KEY : EVENT_OTHER_KEY);
        } else if (event.type == SDL_QUIT ||
                   (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
            demoWindowProc(EVENT_CLOSE);
        }
    }
    if (demoWindow != nullptr) {
        SDL_GL_SwapWindow(demoWindow);
    }
    return demoRunning;
}

void destroyDemoWindow()
{
    if (demoContext != nullptr) {
        SDL_GL_MakeCurrent(demoWindow, nullptr);
        SDL_GL_DeleteContext(demoContext);
    }
    if (demoWindow != nullptr) {
        demoWindowProc(EVENT_DESTROY);
        SDL_DestroyWindow(demoWindow);  // leaves full screen and restores the display mode
    }
    demoContext = nullptr;
    demoWindow = nullptr;
    if (cursorHidden) {
        SDL_ShowCursor(SDL_ENABLE);
        cursorHidden = false;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
}
