// The demo's one window and its GL context. The window itself is a platform seam: the real
// program links window_sdl.cpp, the pixel tests and the capture tool window_offscreen.cpp,
// the loop tests a scripted fake. What every implementation shares lives in the core:
// the event handler, the standing GL state and the font's display lists.
#pragma once

// Nonzero while the demo is to go on. createDemoWindow sets it once the window, context and
// GL state stand; Escape and a close request clear it.
extern int demoRunning;

// Full-screen switch, compiled in (the real window only).
extern const int fullScreen;

// First of the 256 display lists that draw the font's glyphs, one per byte value.
extern unsigned int fontListBase;

// Why the window could not be made, or null. Set by createDemoWindow when the display mode is
// refused or no window or context can be had; the reason has then been written to stderr.
extern const char* windowFailure;

void createDemoWindow();
int pumpMessages();
void destroyDemoWindow();
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

// The window procedure's role: Escape, a close request and the window's destruction clear the
// running flag and write "Exiting sanely..."; other keys do nothing.
void demoWindowProc(DemoEvent event);

// Records a reason the window cannot stand: one line on stderr, the running flag 0.
void failDemoWindow(const char* reason);

// The standing GL state every scene relies on, set once right after the context is made.
void setInitialGlState();
