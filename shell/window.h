// The demo's one window and its GL context.
//
// The window is a platform seam. A platform provides the four entry points below (the real
// program links platform/sdl/window_sdl.cpp, the capture tool and the pixel tests
// platform/offscreen/window_offscreen.cpp, the loop tests tests/fakes/fake_window.cpp); the rest
// of this header is the core's (shell/window.cpp) and is the same for every platform.
//
//   createDemoWindow()   Called once at start-up, before any GL call, with windowCore.request
//                        set. Makes the window (or drawable) of the kind and size requested and
//                        a GL 1.1 context on it with double buffering, RGBA and a depth buffer,
//                        and makes the context current; then calls
//                        finishDemoWindow(drawableWidth, drawableHeight), which makes the rest.
//                        When any of it cannot be had it calls failDemoWindow(reason) instead
//                        and leaves no window and no context behind; nothing else reports a
//                        failure, and no GL call follows one.
//   windowPollEvent(e)   Called at every loop test, first (pumpMessages). Takes at most one
//                        pending event, never waiting for one; returns true, with *e set, when
//                        it is one the demo reacts to (Escape, another key, a close request).
//                        Every other event it takes is dropped. It may keep events the demo
//                        never acts on out of its queue altogether.
//   windowPresent()      Called at every loop test, after windowPollEvent: presents the frame
//                        drawn since the last call (the buffer swap). Nothing when no window
//                        stands. It may wait for the display; that wait is all that paces the
//                        loop.
//   destroyDemoWindow()  Called once at shutdown, after the sound has stopped, whether or not
//                        the window was made. Releases the context and the window, handing
//                        EVENT_DESTROY to demoWindowProc as a standing window goes, and gives
//                        the display back as it was. Afterwards createDemoWindow may be called
//                        again (the tests do).
//
// A platform may assume that these run on the one thread that runs the main loop, in the order
// above, and that windowCore.request stays as it was during createDemoWindow. It must leave the
// context current from createDemoWindow until destroyDemoWindow, and the running flag to the
// core: it changes windowCore.running only through finishDemoWindow, failDemoWindow and
// demoWindowProc.
#pragma once

#include "shell/screen.h"

// How the real window is made: switching the display to 640x480 (the default), a captioned
// window, or borderless over the whole desktop at its own resolution.
enum WindowMode {
    WINDOW_DISPLAY_MODE,
    WINDOW_CAPTIONED,
    WINDOW_DESKTOP,
};

// What the program asks of createDemoWindow: the mode, the drawable size of a captioned or
// offscreen window, and the samples per pixel of the offscreen window (0: none).
struct WindowRequest {
    WindowMode mode;
    int width;
    int height;
    int samples;
};
constexpr WindowRequest WINDOW_REQUEST_START = {WINDOW_DISPLAY_MODE, SCREEN_WIDTH, SCREEN_HEIGHT, 0};

// The window's state shared by every platform. The demo makes one window per run; a test
// starts from none with `windowCore = WINDOW_CORE_START_STATE`.
struct WindowCoreState {
    // Nonzero while the demo is to go on: set by finishDemoWindow once the window, context and
    // GL state stand; cleared by failDemoWindow, Escape and a close request. pumpMessages
    // returns it.
    int running;
    const char* failure;        // why the window could not be made (written to stderr), or null
    WindowRequest request;      // set before createDemoWindow
    PictureArea picture;        // where the picture lands in the drawable; set by finishDemoWindow
    unsigned int fontListBase;  // first of the font's 256 display lists, one per byte value
};
constexpr WindowCoreState WINDOW_CORE_START_STATE = {0, nullptr, WINDOW_REQUEST_START, SCREEN_PICTURE, 0};

extern WindowCoreState windowCore;

// The events the demo reacts to, as every window implementation reports them.
enum DemoEvent {
    EVENT_ESCAPE_KEY,
    EVENT_OTHER_KEY,
    EVENT_CLOSE,    // a close request (the window manager's close button, or SIGINT)
    EVENT_DESTROY,  // the window is being destroyed at shutdown
};

// The platform's four (see above).
void createDemoWindow();
bool windowPollEvent(DemoEvent* event);
void windowPresent();
void destroyDemoWindow();

// The loop test: hands at most one event to demoWindowProc (windowPollEvent), then presents
// the frame drawn by the pass before (windowPresent), and returns the running flag.
int pumpMessages();

// The shared rest of createDemoWindow, once the context is current and its drawable is
// drawableWidth x drawableHeight pixels: the picture area, the standing GL state, the font
// lists at the picture's scale, then the running flag.
void finishDemoWindow(int drawableWidth, int drawableHeight);
// Records a reason the window cannot stand: one line on stderr, the running flag 0.
void failDemoWindow(const char* reason);

// The window procedure's role: Escape, a close request and the window's destruction clear
// the running flag and write "Exiting sanely..."; other keys do nothing.
void demoWindowProc(DemoEvent event);
