// The demo's one window and its GL context. The window itself is a platform seam: the real
// program links platform/sdl/window_sdl.cpp, the pixel tests and the capture tool
// platform/offscreen/window_offscreen.cpp, the loop tests the scripted tests/fakes/fake_window.cpp. Each makes its context current and then calls
// finishDemoWindow, or failDemoWindow when it cannot; everything from there on is shared: the
// picture's place in the drawable, the standing GL state, the font's display lists, the
// running flag, and the event handler.
#pragma once

#include "shell/screen.h"

// Nonzero while the demo is to go on. finishDemoWindow sets it once the window, context and
// GL state stand; Escape and a close request clear it.
extern int demoRunning;

// How the real window is made: switching the display to 640x480 (the default), a captioned
// window, or borderless over the whole desktop at its own resolution.
enum WindowMode {
    WINDOW_DISPLAY_MODE,
    WINDOW_CAPTIONED,
    WINDOW_DESKTOP,
};

// What the program asks of createDemoWindow, set before it: the mode, the drawable size of a
// captioned or offscreen window, and the samples per pixel of the offscreen window (0: none).
struct WindowRequest {
    WindowMode mode;
    int width;
    int height;
    int samples;
};
constexpr WindowRequest WINDOW_REQUEST_START = {WINDOW_DISPLAY_MODE, SCREEN_WIDTH, SCREEN_HEIGHT, 0};
extern WindowRequest windowRequest;

// Where the picture lands in the window's drawable; set by finishDemoWindow.
extern PictureArea windowPicture;

// First of the 256 display lists that draw the font's glyphs, one per byte value.
extern unsigned int fontListBase;

// Why the window could not be made, or null. Set by createDemoWindow when the display mode is
// refused or no window or context can be had; the reason has then been written to stderr.
extern const char* windowFailure;

void createDemoWindow();
int pumpMessages();
void destroyDemoWindow();

// The shared rest of createDemoWindow, once the context is current and its drawable is
// drawableWidth x drawableHeight pixels: the picture area, the standing GL state, the font
// lists at the picture's scale, then the running flag.
void finishDemoWindow(int drawableWidth, int drawableHeight);
// Records a reason the window cannot stand: one line on stderr, the running flag 0.
void failDemoWindow(const char* reason);

// The font's display lists, its glyphs rasterised at 14 pixels times the picture's scale.
void buildFontLists();

// The Unicode code point that a byte of text stands for (Windows-1252); 0 for none.
unsigned int cp1252ToUnicode(unsigned char byte);

// The events the demo reacts to, as every window implementation reports them.
enum DemoEvent {
    EVENT_ESCAPE_KEY,
    EVENT_OTHER_KEY,
    EVENT_CLOSE,    // a close request (the window manager's close button, or SIGINT)
    EVENT_DESTROY,  // the window is being destroyed at shutdown
};

// The window procedure's role: Escape, a close request and the window's destruction clear
// the running flag and write "Exiting sanely..."; other keys do nothing.
void demoWindowProc(DemoEvent event);

// The standing GL state every scene relies on, set once right after the context is made: the
// view on the picture area, and points and lines as wide as one unit of it.
void setInitialGlState();

// The pass's clear: colour and depth over the picture area, and around a picture that leaves
// bars, the bars to black (a swap may leave them undefined).
void clearFrame();
