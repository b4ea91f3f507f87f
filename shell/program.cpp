#include "shell/program.h"

#include "shell/demo.h"
#include "shell/heap.h"
#include "shell/options.h"
#include "shell/process.h"
#include "shell/window.h"

int runDemoProgram(int argc, char** argv)
{
    prepareProcess();
    DemoOptions options = DEMO_OPTIONS_START;
    if (int status = parseDemoOptions(argc, argv, &options); status != OPTIONS_RUN) {
        return status;
    }
    windowCore.request = options.window;
    keepHeapTop();
    return demoMain();
}
