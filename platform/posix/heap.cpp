// Mesa's software renderer takes and frees scratch blocks of 64 KB and more on every frame
// (a fresh texture for each batch of bitmap glyphs, for one). With glibc's default trim
// threshold each such block grows the heap with brk and the free shrinks it again, so every
// frame pays for fresh zeroed pages: with the scroller's text on screen that was most of the
// frame's CPU time. Keeping up to 64 MB of free heap mapped lets the blocks be reused.
#include "shell/heap.h"

#include <malloc.h>

static constexpr int KEPT_HEAP_TOP_BYTES = 64 << 20;

void keepHeapTop() { mallopt(M_TRIM_THRESHOLD, KEPT_HEAP_TOP_BYTES); }
