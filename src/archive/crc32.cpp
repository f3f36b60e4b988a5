#include "archive/crc32.h"

#include "format/little_endian.h"

#define CRC32_POLYNOMIAL 0xEDB88320u

// The table entry of one byte: its CRC, bit by bit.
static constexpr uint32_t CrcOfByte(uint32_t value) {
    for (int round = 0; round < 8; ++round) value = (value & 1) ? (value >> 1) ^ CRC32_POLYNOMIAL : value >> 1;
    return value;
}

#ifdef __OPTIMIZE_SIZE__
// The stub builds its table on first use, in zero-filled memory: a kilobyte
// less to ship. Entry 1 is never zero, so a zero there means not yet built.
static uint32_t crcTableEntries[256];

static const uint32_t* CrcTable() {
    if (!crcTableEntries[1])
        for (uint32_t index = 0; index < 256; ++index) crcTableEntries[index] = CrcOfByte(index);
    return crcTableEntries;
}
#else
struct CrcTable {
    uint32_t entries[256];
};

// Evaluated by the compiler: the table lands in read-only data.
static constexpr CrcTable BuildCrcTable() {
    CrcTable table = {};
    for (uint32_t index = 0; index < 256; ++index) table.entries[index] = CrcOfByte(index);
    return table;
}

static constexpr CrcTable crcTable = BuildCrcTable();
static_assert(crcTable.entries[1] == 0x77073096u, "CRC table entry 1");
static_assert(crcTable.entries[255] == 0x2D02EF8Du, "CRC table entry 255");

static const uint32_t* CrcTable() { return crcTable.entries; }

// The builder's CRC takes eight bytes a step: slice k gives the CRC of a byte
// followed by k zero bytes, so the eight lookups are independent. The stub,
// built for size, keeps the one table and a byte a step.
struct CrcSlices {
    uint32_t entries[8][256];
};

static constexpr CrcSlices BuildCrcSlices() {
    CrcSlices slices = {};
    for (uint32_t index = 0; index < 256; ++index) {
        slices.entries[0][index] = crcTable.entries[index];
        for (int slice = 1; slice < 8; ++slice) {
            uint32_t previous = slices.entries[slice - 1][index];
            slices.entries[slice][index] = (previous >> 8) ^ crcTable.entries[previous & 0xFF];
        }
    }
    return slices;
}

static constexpr CrcSlices crcSlices = BuildCrcSlices();
#endif

uint32_t UpdateCrc32(const uint8_t* data, uint32_t length, uint32_t seed) {
    uint32_t crc = ~seed;
    uint32_t index = 0;
#ifndef __OPTIMIZE_SIZE__
    const uint32_t(*slice)[256] = crcSlices.entries;
    for (; length - index >= 8; index += 8) {
        uint32_t low = ReadLittleEndian32(data + index) ^ crc, high = ReadLittleEndian32(data + index + 4);
        crc = slice[7][low & 0xFF] ^ slice[6][(low >> 8) & 0xFF] ^ slice[5][(low >> 16) & 0xFF] ^ slice[4][low >> 24] ^
              slice[3][high & 0xFF] ^ slice[2][(high >> 8) & 0xFF] ^ slice[1][(high >> 16) & 0xFF] ^
              slice[0][high >> 24];
    }
#endif
    const uint32_t* table = CrcTable();
    for (; index < length; ++index) crc = (crc >> 8) ^ table[(crc ^ data[index]) & 0xFF];
    return ~crc;
}

uint32_t Crc32Fingerprint(const uint8_t* data, uint32_t length) { return UpdateCrc32(data, length, 0); }
