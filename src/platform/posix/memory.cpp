#include <sys/mman.h>

#include "platform/platform.h"

void AdviseHugePages(void* begin, size_t bytes) {
    const uintptr_t hugePage = uintptr_t(2) << 20;
    uintptr_t start = (reinterpret_cast<uintptr_t>(begin) + hugePage - 1) & ~(hugePage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(begin) + bytes) & ~(hugePage - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}
