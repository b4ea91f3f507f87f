// Xlib's error handlers, from the making of the window until it is gone. Xlib and XRandR are
// reached through the libraries SDL has already loaded, not linked: the program's own needs
// stay SDL2, GL and the C library.
#include "platform/sdl/x_errors.h"

#include <SDL_syswm.h>
#include <X11/extensions/Xrandr.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "shell/demo.h"

struct XlibCalls {
    XErrorHandler (*setErrorHandler)(XErrorHandler);
    XIOErrorHandler (*setIoErrorHandler)(XIOErrorHandler);
    int (*getErrorText)(Display*, int, char*, int);
    int (*sync)(Display*, Bool);
};

// What puts the screen back at its size over a second connection: Xlib's and XRandR's own.
struct XrandrCalls {
    Display* (*openDisplay)(const char*);
    int (*closeDisplay)(Display*);
    Window (*defaultRootWindow)(Display*);
    XRRScreenConfiguration* (*getScreenInfo)(Display*, Window);
    XRRScreenSize* (*configSizes)(XRRScreenConfiguration*, int*);
    SizeID (*currentConfiguration)(XRRScreenConfiguration*, Rotation*);
    Status (*setScreenConfig)(Display*, XRRScreenConfiguration*, Drawable, int, Rotation, Time);
    void (*freeScreenConfigInfo)(XRRScreenConfiguration*);
};

struct XErrorsState {
    XlibCalls xlib;                 // all three, or none found
    bool catching;
    XErrorHandler previousHandler;
    char text[256];                 // the first error caught, as one line; empty for none
    char taken[256];                // the last one handed out by xErrorsTake
    Display* display;               // the window's connection, once xErrorsSync has seen it
    XIOErrorHandler previousIoHandler;
    bool restoreSize;               // the display's size to be given back if the connection is lost
    int desktopWidth;
    int desktopHeight;
};
static constexpr XErrorsState X_ERRORS_START_STATE = {{nullptr, nullptr, nullptr, nullptr}, false, nullptr, {}, {}, nullptr, nullptr, false, 0, 0};
static XErrorsState xErrors = X_ERRORS_START_STATE;

static bool findXlib()
{
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return false;
    }
    XlibCalls& xlib = xErrors.xlib;
    xlib.setErrorHandler = reinterpret_cast<XErrorHandler (*)(XErrorHandler)>(dlsym(library, "XSetErrorHandler"));
    xlib.getErrorText = reinterpret_cast<int (*)(Display*, int, char*, int)>(dlsym(library, "XGetErrorText"));
    xlib.sync = reinterpret_cast<int (*)(Display*, Bool)>(dlsym(library, "XSync"));
    xlib.setIoErrorHandler = reinterpret_cast<XIOErrorHandler (*)(XIOErrorHandler)>(dlsym(library, "XSetIOErrorHandler"));
    if (xlib.setErrorHandler == nullptr || xlib.getErrorText == nullptr || xlib.sync == nullptr ||
        xlib.setIoErrorHandler == nullptr) {
        xlib = XlibCalls{nullptr, nullptr, nullptr, nullptr};
        return false;
    }
    return true;
}

// Runs inside Xlib with the connection locked: it asks nothing of the server.
static int recordXError(Display* display, XErrorEvent* error)
{
    if (xErrors.text[0] == '\0') {
        char name[128];
        xErrors.xlib.getErrorText(display, error->error_code, name, sizeof name);
        std::snprintf(xErrors.text, sizeof xErrors.text,
                      "X error %s (request %d.%d)", name, error->request_code,
                      error->minor_code);
    }
    return 0;
}

template <typename F> static bool find(void* library, const char* name, F* function)
{
    *function = reinterpret_cast<F>(dlsym(library, name));
    return *function != nullptr;
}

// Over a connection of its own, the screen back at the desktop's size; nothing when the
// server no longer answers or has no such size.
static void restoreDesktopSize()
{
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    void* xrandr = dlopen("libXrandr.so.2", RTLD_NOW | RTLD_LOCAL);
    XrandrCalls r{};
    if (x11 == nullptr || xrandr == nullptr || !find(x11, "XOpenDisplay", &r.openDisplay) ||
        !find(x11, "XCloseDisplay", &r.closeDisplay) || !find(x11, "XDefaultRootWindow", &r.defaultRootWindow) ||
        !find(xrandr, "XRRGetScreenInfo", &r.getScreenInfo) || !find(xrandr, "XRRConfigSizes", &r.configSizes) ||
        !find(xrandr, "XRRConfigCurrentConfiguration", &r.currentConfiguration) ||
        !find(xrandr, "XRRSetScreenConfig", &r.setScreenConfig) ||
        !find(xrandr, "XRRFreeScreenConfigInfo", &r.freeScreenConfigInfo)) {
        return;
    }
    Display* display = r.openDisplay(nullptr);
    if (display == nullptr) {
        return;
    }
    const Window root = r.defaultRootWindow(display);
    if (XRRScreenConfiguration* config = r.getScreenInfo(display, root)) {
        int count = 0;
        XRRScreenSize* sizes = r.configSizes(config, &count);
        Rotation rotation = 0;
        const SizeID current = r.currentConfiguration(config, &rotation);
        for (int i = 0; i < count; ++i) {
            if (sizes[i].width == xErrors.desktopWidth && sizes[i].height == xErrors.desktopHeight && i != current) {
                r.setScreenConfig(display, config, root, i, rotation, CurrentTime);
                break;
            }
        }
        r.freeScreenConfigInfo(config);
    }
    r.closeDisplay(display);
}

// Xlib ends the process when this returns, and the connection cannot be used again: the
// display's size is put back over another, and the reason given in one line.
static int onConnectionLost(Display*)
{
    if (xErrors.restoreSize) {
        restoreDesktopSize();
    }
    std::fputs("yarvik: the connection to the display was lost\n", stderr);
    std::fflush(stderr);
    std::_Exit(EXIT_FAILED);
}

void xErrorsCatch(bool restoreSize, int desktopWidth, int desktopHeight)
{
    xErrors.text[0] = '\0';
    xErrors.restoreSize = restoreSize;
    xErrors.desktopWidth = desktopWidth;
    xErrors.desktopHeight = desktopHeight;
    xErrors.catching = findXlib();
    xErrors.previousHandler = xErrors.catching ? xErrors.xlib.setErrorHandler(recordXError) : nullptr;
    xErrors.previousIoHandler = xErrors.catching ? xErrors.xlib.setIoErrorHandler(onConnectionLost) : nullptr;
}

void xErrorsSync(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (xErrors.xlib.sync != nullptr && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        xErrors.display = info.info.x11.display;
        xErrors.xlib.sync(xErrors.display, False);
    }
}

const char* xErrorsTake()
{
    if (xErrors.text[0] == '\0') {
        return nullptr;
    }
    std::snprintf(xErrors.taken, sizeof xErrors.taken, "%s", xErrors.text);
    xErrors.text[0] = '\0';
    return xErrors.taken;
}

void xErrorsRelease()
{
    if (xErrors.display != nullptr) {
        xErrors.xlib.sync(xErrors.display, False);
        xErrors.display = nullptr;
    }
    if (xErrors.catching) {
        xErrors.xlib.setErrorHandler(xErrors.previousHandler);
        xErrors.xlib.setIoErrorHandler(xErrors.previousIoHandler);
        xErrors.catching = false;
    }
}
