// The process in a page: no signals, no standard descriptors to guard (stdout and stderr go to
// the browser's console) and emscripten's own heap, which has no setting to make.
#include "shell/heap.h"
#include "shell/process.h"

void prepareProcess() {}
int takeCloseSignal() { return 0; }
void keepHeapTop() {}
