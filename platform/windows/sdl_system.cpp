// What the SDL platform does differently on Windows: SDL's own video driver is the one there
// is, no system sound library prints diagnostics to quiet, and there is no X server whose
// errors would need catching.
#include "platform/sdl/system.h"
#include "platform/sdl/x_errors.h"

void preferVideoDriver() {}

void quietSoundLibrary() {}

void xErrorsCatch() {}

void xErrorsSync(SDL_Window*) {}

const char* xErrorsRelease() { return nullptr; }
