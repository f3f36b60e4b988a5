// An installer's bytes as the tests see them, written down here once and on
// their own rather than taken from the code under test: the stub's size,
// where a PE header keeps the fields the tests look at, and little-endian
// numbers at any offset.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The stub is exactly this long: the archive starts here.
constexpr size_t STUB_SIZE = 11264;

// The MZ header holds the PE header's offset here; after the PE header come
// the optional header's CheckSum and the certificate table's entry (its file
// offset, then its size).
constexpr size_t PE_HEADER_POINTER = 0x3C;
constexpr size_t PE_CHECKSUM_AFTER_HEADER = 0x58;
constexpr size_t PE_SECURITY_ENTRY_AFTER_HEADER = 0x98;

inline uint32_t Uint32At(const uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

inline uint32_t Uint32At(const std::vector<uint8_t>& bytes, size_t at) { return Uint32At(&bytes[at]); }

inline void SetUint32At(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) (*bytes)[at + shift / 8] = uint8_t(value >> shift);
}

inline void AppendUint32(std::vector<uint8_t>* bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes->push_back(uint8_t(value >> shift));
}
