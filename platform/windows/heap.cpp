// Windows' heap keeps the blocks a program frees for its next allocations and takes no
// setting for it: nothing to do.
#include "shell/heap.h"

void keepHeapTop() {}
