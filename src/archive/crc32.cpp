#include "archive/crc32.h"

#define CRC32_POLYNOMIAL 0xEDB88320u

struct CrcTable {
    uint32_t entries[256];
};

// Evaluated by the compiler: the table lands in read-only data and the stub
// runs no start-up code for it.
static constexpr CrcTable BuildCrcTable() {
    CrcTable table = {};
    for (uint32_t index = 0; index < 256; ++index) {
        uint32_t value = index;
        for (int round = 0; round < 8; ++round) value = (value & 1) ? (value >> 1) ^ CRC32_POLYNOMIAL : value >> 1;
        table.entries[index] = value;
    }
    return table;
}

static constexpr CrcTable crcTable = BuildCrcTable();
static_assert(crcTable.entries[1] == 0x77073096u, "CRC table entry 1");
static_assert(crcTable.entries[255] == 0x2D02EF8Du, "CRC table entry 255");

uint32_t UpdateCrc32(const uint8_t* data, uint32_t length, uint32_t seed) {
    uint32_t crc = ~seed;
    for (uint32_t index = 0; index < length; ++index) crc = (crc >> 8) ^ crcTable.entries[(crc ^ data[index]) & 0xFF];
    return ~crc;
}

uint32_t Crc32Fingerprint(const uint8_t* data, uint32_t length) { return UpdateCrc32(data, length, 0); }
