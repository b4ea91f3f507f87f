// The process heap's one setting, made before the window: freed memory at the top of the heap
// is kept rather than handed back to the system.
#pragma once

void keepHeapTop();
