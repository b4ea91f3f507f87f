// The program entry: the demo reads no command line, environment or files.
#include "shell/demo.h"
#include "shell/heap.h"

int main()
{
    keepHeapTop();
    return demoMain();
}
