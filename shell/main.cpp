// The program entry: the demo reads no command line, environment or files.
#include "shell/demo.h"

int main()
{
    return demoMain();
}
