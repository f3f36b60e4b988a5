// Every number in an installer and in a compressed block is little-endian,
// whatever the host: these read and write them byte by byte, at any alignment.
// Compiled into the stub: C-style, nothing beyond <stdint.h>.
#pragma once
#include <stdint.h>

static inline uint16_t ReadLittleEndian16(const void* address) {
    const uint8_t* bytes = (const uint8_t*)address;
    return (uint16_t)(bytes[0] | bytes[1] << 8);
}

static inline uint32_t ReadLittleEndian32(const void* address) {
    const uint8_t* bytes = (const uint8_t*)address;
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

static inline void WriteLittleEndian32(void* address, uint32_t value) {
    uint8_t* bytes = (uint8_t*)address;
    for (int index = 0; index < 4; ++index) bytes[index] = (uint8_t)(value >> (8 * index));
}

// Appends the value to a byte container with push_back (the builder's vectors).
template <typename Bytes>
static inline void AppendLittleEndian32(Bytes* bytes, uint32_t value) {
    for (int index = 0; index < 4; ++index) bytes->push_back((uint8_t)(value >> (8 * index)));
}
