#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/crc32.h"

namespace {
const uint8_t* Text(const char* text) { return reinterpret_cast<const uint8_t*>(text); }
}   // namespace

TEST(Crc32, StandardCheckValues) {
    EXPECT_EQ(Crc32Fingerprint(Text("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(Crc32Fingerprint(Text("abc"), 3), 0x352441C2u);
    // One byte goes through a single table entry: 0x00 through entry 255, 0xFF through entry 0.
    uint8_t zero = 0x00, ones = 0xFF;
    EXPECT_EQ(Crc32Fingerprint(&zero, 1), 0xD202EF8Du);
    EXPECT_EQ(Crc32Fingerprint(&ones, 1), 0xFF000000u);
}

static uint32_t BitwiseCrc32(const uint8_t* data, uint32_t length) {
    uint32_t crc = ~0u;
    for (uint32_t index = 0; index < length; ++index) {
        crc ^= data[index];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// The builder takes eight bytes a step from tables the compiler made, and the
// stub one byte a step from a table it builds when it starts (these tests run
// in both builds): both must agree with the bit-at-a-time definition at every
// length and alignment, and through every table entry.
TEST(Crc32, AgreesWithTheBitwiseDefinition) {
    std::vector<uint8_t> data(80);
    for (size_t index = 0; index < data.size(); ++index) data[index] = uint8_t(index * 37 + 11);
    for (uint32_t start = 0; start < 8; ++start)
        for (uint32_t length = 0; start + length <= data.size(); ++length)
            EXPECT_EQ(Crc32Fingerprint(data.data() + start, length), BitwiseCrc32(data.data() + start, length))
                << start << " " << length;
    for (uint32_t value = 0; value < 256; ++value) {   // one byte goes through entry 255 - value
        uint8_t byte = uint8_t(value);
        EXPECT_EQ(Crc32Fingerprint(&byte, 1), BitwiseCrc32(&byte, 1)) << value;
    }
}

TEST(Crc32, EmptyInputReturnsTheSeed) {
    EXPECT_EQ(Crc32Fingerprint(Text(""), 0), 0u);
    EXPECT_EQ(UpdateCrc32(Text(""), 0, 0x12345678u), 0x12345678u);
}

TEST(Crc32, UpdateContinuesAnEarlierResult) {
    EXPECT_EQ(UpdateCrc32(Text("c"), 1, Crc32Fingerprint(Text("ab"), 2)), Crc32Fingerprint(Text("abc"), 3));
    std::vector<uint8_t> data(10000);
    for (size_t index = 0; index < data.size(); ++index) data[index] = uint8_t(index * 131 + (index >> 7));
    uint32_t whole = Crc32Fingerprint(data.data(), uint32_t(data.size()));
    for (uint32_t split : {1u, 3u, 4999u, 9999u})
        EXPECT_EQ(UpdateCrc32(data.data() + split, uint32_t(data.size()) - split, Crc32Fingerprint(data.data(), split)),
                  whole)
            << split;
}
