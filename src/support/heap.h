// Private heaps. Every allocation of the installer comes from a heap of its own
// (created with no options, 4096 bytes initially, growable), so that exit can
// drop everything at once. The host build maps these onto the C library.
#pragma once
#include <stdint.h>

// The process heap: driver state, tables, channel buffers and text values.
void InitProcessHeap();
void DestroyProcessHeap();
void* HeapBlock(uint32_t size);                      // zero-filled; null when it fails
void* HeapBlockRaw(uint32_t size);                   // contents undefined
void* ResizeHeapBlock(void* block, uint32_t size);   // block not null; keeps contents; null when it fails
void FreeHeapBlock(void* block);                     // null is ignored

// Zero-filled allocation from its own heap: a size of 0 or less yields no block.
void InitZeroedHeap();
void* AllocateZeroed(int32_t size);
void ReleaseZeroed(void* block);
