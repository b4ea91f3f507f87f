// Start-up, the main loop and shutdown.
#include "shell/demo.h"

#include "shell/window.h"

int demoMain()
{
    createDemoWindow();
    while (pumpMessages()) {
    }
    destroyDemoWindow();
    return windowFailure != nullptr ? 1 : 0;
}
