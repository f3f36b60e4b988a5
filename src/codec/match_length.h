// Helpers shared by the parsers and the match finder: how far two positions
// agree, and the bytes that the hash tables key on.
#pragma once

#include <cstdint>
#include <cstring>

// Bytes that agree at a and b (a before b), up to limit; 8 at a time.
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t length = 0;
    while (length + 8 <= limit) {
        uint64_t x, y;
        memcpy(&x, a + length, 8);
        memcpy(&y, b + length, 8);
        if (x != y) return length + uint32_t(__builtin_ctzll(x ^ y) >> 3);
        length += 8;
    }
    while (length < limit && a[length] == b[length]) ++length;
    return length;
}

inline uint32_t Read24(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16; }
