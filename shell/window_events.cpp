// Window state and event handling shared by every window implementation.
#include "shell/window.h"

#include <cstdio>

int demoRunning = 0;
const char* windowFailure = nullptr;

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
