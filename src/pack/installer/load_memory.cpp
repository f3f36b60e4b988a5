#include "pack/installer/load_memory.h"

#include <algorithm>
#include <cstdio>

#include "format/installer_format.h"

static std::string Mebibytes(uint64_t bytes) {
    char text[32];
    snprintf(text, sizeof(text), "%.1f MiB", (double)bytes / (1 << 20));
    return text;
}

LoadNeed InstallerLoadNeed(uint64_t streamSize, uint64_t blockSize) {
    LoadNeed need;
    need.stream = streamSize;
    need.block = blockSize == streamSize ? 0 : blockSize;
    uint64_t total = need.stream + need.block;
    if (total > (uint64_t)LOAD_LIMIT_TOTAL) need.reach = LOADS_NOWHERE;
    else if (std::max(need.stream, need.block) > (uint64_t)LOAD_LIMIT_32_BIT_LARGEST ||
             total > (uint64_t)LOAD_LIMIT_32_BIT_TOTAL)
        need.reach = LOADS_ON_64_BIT_ONLY;
    return need;
}

std::string LoadNeedText(const LoadNeed& need) {
    std::string text = "the installer needs " + Mebibytes(need.stream + need.block) + " of memory to load (";
    text += need.block ? "entry stream " + Mebibytes(need.stream) + " and compressed block " + Mebibytes(need.block) +
                             ", in two allocations)"
                       : "the stored entry stream, in one allocation)";
    if (need.reach == LOADS_NOWHERE)
        return text + "; Windows gives it at most " + std::to_string(LOAD_LIMIT_TOTAL >> 20) +
               " MiB, on 64-bit Windows, and less on 32-bit Windows";
    if (need.reach == LOADS_ON_64_BIT_ONLY)
        return text + ", so it loads on 64-bit Windows only: 32-bit Windows gives one allocation at most " +
               std::to_string(LOAD_LIMIT_32_BIT_LARGEST >> 20) + " MiB and both together at most " +
               std::to_string(LOAD_LIMIT_32_BIT_TOTAL >> 20) + " MiB";
    return text;
}
