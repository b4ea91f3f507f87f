// Xlib's error handler, for the making of the window. Xlib is reached through the library SDL
// has already loaded, not linked: the program's own needs stay SDL2, GL and the C library.
#include "platform/sdl/x_errors.h"

#include <SDL_syswm.h>

#include <dlfcn.h>

#include <cstdio>

struct XlibCalls {
    XErrorHandler (*setErrorHandler)(XErrorHandler);
    int (*getErrorText)(Display*, int, char*, int);
    int (*sync)(Display*, Bool);
};

struct XErrorsState {
    XlibCalls xlib;                 // all three, or none found
    bool catching;
    XErrorHandler previousHandler;
    char text[256];                 // the first error caught, as one line; empty for none
};
static constexpr XErrorsState X_ERRORS_START_STATE = {{nullptr, nullptr, nullptr}, false, nullptr, {}};
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
    if (xlib.setErrorHandler == nullptr || xlib.getErrorText == nullptr || xlib.sync == nullptr) {
        xlib = XlibCalls{nullptr, nullptr, nullptr};
        return false;
    }
    return true;
}

static int recordXError(Display* display, XErrorEvent* error)
{
    if (xErrors.text[0] == '\0') {
        char name[128];
        xErrors.xlib.getErrorText(display, error->error_code, name, sizeof name);
        std::snprintf(xErrors.text, sizeof xErrors.text,
                      "cannot create the OpenGL context: X error %s (request %d.%d)", name, error->request_code,
                      error->minor_code);
    }
    return 0;
}

void xErrorsCatch()
{
    xErrors.text[0] = '\0';
    xErrors.catching = findXlib();
    xErrors.previousHandler = xErrors.catching ? xErrors.xlib.setErrorHandler(recordXError) : nullptr;
}

void xErrorsSync(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (xErrors.xlib.sync != nullptr && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        xErrors.xlib.sync(info.info.x11.display, False);
    }
}

const char* xErrorsRelease()
{
    if (xErrors.catching) {
        xErrors.xlib.setErrorHandler(xErrors.previousHandler);
        xErrors.catching = false;
    }
    return xErrors.text[0] != '\0' ? xErrors.text : nullptr;
}
