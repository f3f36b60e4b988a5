// The fast level's match candidates: for each hash of the next 3 bytes, a row
// of the latest positions that had it. A row is two cache lines, so a search
// has all its candidates at once and their bytes are fetched side by side,
// where a hash chain would fetch one link after another. The table's size is
// fixed: each section of the fast level clears and fills its own.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/match_length.h"

constexpr uint32_t ROW_WAYS = 32;   // positions per row (two cache lines)
constexpr uint32_t ROW_BITS = 15;   // rows: 4 MiB in all, whatever the input
constexpr uint32_t HASHED_BYTES = 3;
constexpr uint32_t EMPTY_SLOT = UINT32_MAX;   // above every position

struct HashRows {
    std::vector<uint32_t> slots;   // ROW_WAYS per row, a ring
    std::vector<uint8_t> newest;   // per row: the slot last written
};

inline uint32_t RowOf(const uint8_t* at) { return (Read24(at) * 2654435761u) >> (32 - ROW_BITS); }

inline void ClearHashRows(HashRows& rows) {
    rows.slots.assign(size_t(ROW_WAYS) << ROW_BITS, EMPTY_SLOT);
    rows.newest.assign(size_t(1) << ROW_BITS, 0);
}

// Position must leave HASHED_BYTES to read.
inline void InsertPosition(HashRows& rows, const uint8_t* data, uint32_t position) {
    uint32_t row = RowOf(data + position);
    uint8_t slot = uint8_t((rows.newest[row] + 1) & (ROW_WAYS - 1));
    rows.newest[row] = slot;
    rows.slots[size_t(row) * ROW_WAYS + slot] = position;
}

inline void PrefetchRow(const HashRows& rows, const uint8_t* at) {
    uint32_t row = RowOf(at);
    __builtin_prefetch(&rows.slots[size_t(row) * ROW_WAYS]);
    __builtin_prefetch(&rows.newest[row]);
}

// The candidates for the bytes at: the index of their row's first slot, and
// the slot of the newest; older ones follow at falling slots (modulo
// ROW_WAYS), and EMPTY_SLOT ends them.
inline uint32_t RowAt(const HashRows& rows, const uint8_t* at, uint32_t* newestSlot) {
    uint32_t row = RowOf(at);
    *newestSlot = rows.newest[row];
    return row * ROW_WAYS;
}
