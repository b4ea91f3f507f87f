// Linked into every benchmark on real pixels: the heap set up as the program sets it, before
// anything else runs, so that the renderer's per-frame scratch blocks cost what they cost there.
#include "shell/heap.h"

namespace {
struct ProgramHeap {
    ProgramHeap() { keepHeapTop(); }
} programHeap;
}  // namespace
