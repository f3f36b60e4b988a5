// Whether an installer can load where it will run: it reads the whole entry
// stream into one allocation and, when the block is compressed, the stored
// block into a second (the limits are the format's, LOAD_LIMIT_*).
#pragma once
#include <cstdint>
#include <string>

enum LoadReach {
    LOADS_ANYWHERE,         // 32-bit and 64-bit Windows
    LOADS_ON_64_BIT_ONLY,   // only where the large-address-aware image gets 4 GiB
    LOADS_NOWHERE,
};

struct LoadNeed {
    uint64_t stream = 0;
    uint64_t block = 0;   // 0 for a stored installer: one allocation
    LoadReach reach = LOADS_ANYWHERE;
};

// For an entry stream of streamSize bytes in a stored block of blockSize
// bytes (equal sizes: stored as it is).
LoadNeed InstallerLoadNeed(uint64_t streamSize, uint64_t blockSize);

// What the installer needs and, unless it loads anywhere, where it fails:
// for the warning and the refusal.
std::string LoadNeedText(const LoadNeed& need);
