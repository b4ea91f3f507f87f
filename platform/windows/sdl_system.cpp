// What the SDL platform does differently on Windows: SDL's own video driver is the one there
// is, no system sound library prints diagnostics to quiet, and there is no X server whose
// errors would need catching.
#include "platform/sdl/system.h"
#include "platform/sdl/x_errors.h"

bool preferVideoDriver(bool) { return false; }

void quietSoundLibrary() {}

void xErrorsCatch(bool, int, int) {}

void xErrorsSync(SDL_Window*) {}

const char* xErrorsTake() { return nullptr; }

void xErrorsRelease() {}
