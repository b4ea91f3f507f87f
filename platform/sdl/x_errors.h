// X errors caught and kept as one line instead of ending or hanging the process, from the
// making of the window until it is gone. Without a handler of its own Xlib prints a protocol
// dump and exits; SDL's handler, which is the one standing otherwise, switches the display mode
// back from inside the error and hangs on the connection's own lock. An error while the window
// and its GL context are made (a GL driver the X server refuses, say) is a failure to make
// them; one later (the window destroyed from outside: the next swap draws to a window that is
// gone) is the window's loss.
#pragma once

#include <SDL.h>

// Starts catching X errors on the window's display, where Xlib is to be had; the first one
// caught is kept. The connection's loss (the X server gone, or the program's connection cut,
// as xkill does) cannot be survived inside Xlib: it ends the process with one line and status
// 1, after giving the display back its desktop's size of desktopWidth x desktopHeight over a
// connection of its own when restoreSize is set and the server still answers.
void xErrorsCatch(bool restoreSize, int desktopWidth, int desktopHeight);
// Waits until the X server has answered every request made so far on the window's display, so
// that their errors are in. Nothing for a window that is not on X.
void xErrorsSync(SDL_Window* window);
// The first error caught since xErrorsCatch or the last take, as one line, or null for none.
const char* xErrorsTake();
// Waits for the answers to every request made so far on the display xErrorsSync last saw (its
// errors are dropped), then stops catching and puts back the handler there was.
void xErrorsRelease();
