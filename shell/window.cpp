// What every window implementation shares: the loop test over the platform's event and
// present, and, once the context is current, the picture's place, the standing state and the
// font (finishDemoWindow), the failure path and the events.
#include "shell/window.h"

#include <cstdio>

#include "shell/font.h"
#include "shell/gl_state.h"

WindowCoreState windowCore = WINDOW_CORE_START_STATE;

// Events first, then the swap: the frame the pass before drew is shown even on the test that
// ends the loop.
int pumpMessages()
{
    DemoEvent event;
    if (windowPollEvent(&event)) {
        demoWindowProc(event);
    }
    windowPresent();
    return windowCore.running;
}

void finishDemoWindow(int drawableWidth, int drawableHeight)
{
    windowCore.picture = pictureAreaFor(drawableWidth, drawableHeight);
    setInitialGlState();
    buildFontLists();
    windowCore.running = 1;
}

void demoWindowProc(DemoEvent event)
{
    switch (event) {
    case EVENT_ESCAPE_KEY:
    case EVENT_CLOSE:
    // The window's destruction at shutdown writes the line as well, so a run ended by Escape or
    // a close request writes it twice, and one that ends by itself once.
    case EVENT_DESTROY:
        windowCore.running = 0;
        std::puts("Exiting sanely...");
        std::fflush(stdout);
        break;
    case EVENT_OTHER_KEY:
        break;
    }
}

void failDemoWindow(const char* reason)
{
    windowCore.running = 0;
    windowCore.failure = reason;
    std::fprintf(stderr, "yarvik: %s\n", reason);
    std::fflush(stderr);
}
