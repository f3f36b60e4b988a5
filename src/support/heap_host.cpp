// Host build of the private heaps: the C library's allocator serves them all.
#include "support/heap.h"

#include <stdlib.h>

void InitProcessHeap() {}
void DestroyProcessHeap() {}
void* HeapBlock(uint32_t size) { return calloc(1, size ? size : 1); }
void* HeapBlockRaw(uint32_t size) { return malloc(size ? size : 1); }
void* ResizeHeapBlock(void* block, uint32_t size) { return realloc(block, size ? size : 1); }
void FreeHeapBlock(void* block) { free(block); }

void InitZeroedHeap() {}
void* AllocateZeroed(int32_t size) { return size > 0 ? calloc(1, (size_t)size) : nullptr; }
void ReleaseZeroed(void* block) { free(block); }
