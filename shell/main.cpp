// The program entry: with no arguments the demo reads no command line, environment or files.
#include "shell/demo.h"
#include "shell/heap.h"
#include "shell/options.h"
#include "shell/process.h"
#include "shell/window.h"

int main(int argc, char** argv)
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
