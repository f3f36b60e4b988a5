#include "support/heap.h"

#include <windows.h>

static HANDLE processHeap;
static HANDLE zeroedHeap;

static HANDLE CreatePrivateHeap() { return HeapCreate(0, 4096, 0); }

void InitProcessHeap() { processHeap = CreatePrivateHeap(); }

void DestroyProcessHeap() {
    HeapDestroy(processHeap);
    processHeap = 0;
}

void* HeapBlock(uint32_t size) { return HeapAlloc(processHeap, HEAP_ZERO_MEMORY, size); }

void* HeapBlockRaw(uint32_t size) { return HeapAlloc(processHeap, 0, size); }

void* ResizeHeapBlock(void* block, uint32_t size) { return HeapReAlloc(processHeap, 0, block, size); }

void FreeHeapBlock(void* block) {
    if (block) HeapFree(processHeap, 0, block);
}

void InitZeroedHeap() { zeroedHeap = CreatePrivateHeap(); }

void* AllocateZeroed(int32_t size) {
    if (size <= 0) return 0;
    return HeapAlloc(zeroedHeap, HEAP_ZERO_MEMORY, (SIZE_T)size);
}

void ReleaseZeroed(void* block) {
    if (block) HeapFree(zeroedHeap, 0, block);
}
