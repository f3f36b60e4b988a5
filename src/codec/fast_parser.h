// The fast level's parse of one section of the input (codec/fast_sections.cpp
// runs the sections and joins them).
#pragma once

#include <cstdint>

#include "codec/hash_rows.h"
#include "codec/token_stream.h"

// Bytes before a section whose positions are candidates in it.
constexpr uint32_t FAST_WINDOW_BYTES = 1u << 20;

// The sections, a multiple of SEGMENT_BYTES and of RAW_RUN_BYTES. Each first
// fills its rows from the FAST_WINDOW_BYTES before it: 2 MiB halves that cost
// against 1 MiB and still keeps both threads busy to the end (4 MiB did not,
// on the mixed tree).
constexpr uint32_t FAST_SECTION_BYTES = 2u << 20;

inline uint32_t FastSectionCount(uint32_t size) { return (size + FAST_SECTION_BYTES - 1) / FAST_SECTION_BYTES; }
// Where the section of this number ends: a whole section on, or the input's end.
inline uint32_t FastSectionEnd(uint32_t section, uint32_t size) {
    uint32_t start = section * FAST_SECTION_BYTES;
    return size - start > FAST_SECTION_BYTES ? start + FAST_SECTION_BYTES : size;
}

// Covers the section's input [start, end) with tokens and flushes them into
// section (a stream begun with StartSectionStream). The tokens depend on the
// bytes from start less FAST_WINDOW_BYTES to end only, whatever came before.
void ParseFastSection(TokenStream& section, uint32_t start, uint32_t end, HashRows& rows);
