// The program entry: the demo reads no command line, environment or files.
#include "shell/demo.h"
#include "shell/heap.h"
#include "shell/process.h"

int main()
{
    prepareProcess();
    keepHeapTop();
    return demoMain();
}
