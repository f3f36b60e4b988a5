// Helpers shared by the parsers: match lengths, input positions, progress.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/encoder.h"

// Bytes that agree at a and b (a before b), up to limit; 8 at a time.
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit)
{
    uint32_t length = 0;
    while (length + 8 <= limit) {
        uint64_t x, y;
        memcpy(&x, a + length, 8);
        memcpy(&y, b + length, 8);
        if (x != y)
            return length + uint32_t(__builtin_ctzll(x ^ y) >> 3);
        length += 8;
    }
    while (length < limit && a[length] == b[length])
        ++length;
    return length;
}

inline uint32_t Read24(const uint8_t* at)
{
    return at[0] | at[1] << 8 | at[2] << 16;
}

// Calls the caller's progress function, if any, with a count that only grows.
struct ProgressReport {
    EncodeProgressFn function = nullptr;
    void* context = nullptr;
    uint64_t total = 0;
};

inline void ReportProgress(const ProgressReport& report, uint64_t done)
{
    if (report.function)
        report.function(report.context, done, report.total);
}

// Input bytes per segment: the unit of offset-width choice and of progress.
constexpr uint32_t SEGMENT_BYTES = 1u << 16;
