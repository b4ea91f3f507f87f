// What every window implementation shares once its context is current: the picture's place,
// the standing state and the font (finishDemoWindow), the failure path and the events.
#include "shell/window.h"

#include <cstdio>

int demoRunning = 0;
const char* windowFailure = nullptr;
WindowRequest windowRequest = WINDOW_REQUEST_START;
PictureArea windowPicture = SCREEN_PICTURE;

void finishDemoWindow(int drawableWidth, int drawableHeight)
{
    windowPicture = pictureAreaFor(drawableWidth, drawableHeight);
    setInitialGlState();
    buildFontLists();
    demoRunning = 1;
}

void demoWindowProc(DemoEvent event)
{
    switch (event) {
    case EVENT_ESCAPE_KEY:
    case EVENT_CLOSE:
    case EVENT_DESTROY:
        demoRunning = 0;
        std::puts("Exiting sanely...");
        std::fflush(stdout);
        break;
    case EVENT_OTHER_KEY:
        break;
    }
}

void failDemoWindow(const char* reason)
{
    demoRunning = 0;
    windowFailure = reason;
    std::fprintf(stderr, "yarvik: %s\n", reason);
    std::fflush(stderr);
}
