// Decoder behaviour on hand-written streams: every token form, the start state,
// the checksum, and every breach that must end in 0.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../common/installer_bytes.h"
#include "archive/block_decoder.h"
#include "codec/bit_writer.h"

namespace {

// Appends the bits written as '0'/'1' characters; spaces only group them.
void Bits(BitWriter& writer, const char* pattern) {
    for (const char* at = pattern; *at; ++at)
        if (*at != ' ') WriteBits(writer, *at == '1', 1);
}

void Field(BitWriter& writer, uint32_t value, uint32_t width) { WriteBits(writer, value, width); }

BitWriter NewStream() {
    BitWriter writer;
    StartBlock(writer);
    return writer;
}

// The usual opening: literal setting for 8-bit literals.
BitWriter NewStreamWith8BitLiterals() {
    BitWriter writer = NewStream();
    Bits(writer, "001 0000 0 1");
    return writer;
}

void Literal8(BitWriter& writer, uint8_t byte) {
    Bits(writer, "1");
    Field(writer, byte, 8);
}

void End(BitWriter& writer) { Bits(writer, "000 0000000 00"); }

// Ends the stream and builds a block claiming decodedSize with the given checksum field.
std::vector<uint8_t> Seal(BitWriter& writer, uint32_t decodedSize, uint32_t checksum) {
    End(writer);
    std::vector<uint8_t> data(decodedSize, 0);
    std::vector<uint8_t> block = FinishBlock(writer, data.data(), decodedSize);
    for (int index = 0; index < 4; ++index) block[BLOCK_CHECKSUM_FIELD + index] = uint8_t(checksum >> (8 * index));
    return block;
}

struct Decoded {
    uint32_t result;
    std::vector<uint8_t> bytes;   // the destination, whole
};

Decoded Decode(const std::vector<uint8_t>& block, uint32_t capacity) {
    Decoded decoded{0, std::vector<uint8_t>(capacity, 0xEE)};
    // An exact-size copy, so that the sanitizers see any read past the block.
    std::vector<uint8_t> exact(block);
    uint8_t dummy = 0;
    decoded.result =
        DecodeBlock(exact.data(), uint32_t(exact.size()), capacity ? decoded.bytes.data() : &dummy, capacity);
    return decoded;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

const std::vector<uint8_t> kExampleBlock = {0x4A, 0x43, 0x08, 0x00, 0x00, 0x00, 0xC1, 0xCC, 0xC5,
                                            0xC2, 0x56, 0x6C, 0xD8, 0x20, 0x00, 0x00, 0x0F, 0x30};

}   // namespace

TEST(BlockDecoderExample, DecodesAbcabcab) {
    Decoded decoded = Decode(kExampleBlock, 8);
    EXPECT_EQ(decoded.result, 8u);
    EXPECT_EQ(decoded.bytes, Bytes("abcabcab"));
    EXPECT_EQ(DecodedBlockSize(kExampleBlock.data(), uint32_t(kExampleBlock.size())), 8u);
    EXPECT_EQ(BlockChecksum(decoded.bytes.data(), 8), 0xC2C5CCC1u);
}

TEST(BlockDecoderExample, ChecksumFieldZeroSkipsTheCheckAndAnyFlippedBitFails) {
    std::vector<uint8_t> unchecked = kExampleBlock;
    memset(&unchecked[BLOCK_CHECKSUM_FIELD], 0, 4);
    Decoded decoded = Decode(unchecked, 8);
    EXPECT_EQ(decoded.result, 8u);
    EXPECT_EQ(decoded.bytes, Bytes("abcabcab"));
    for (int bit = 0; bit < 32; ++bit) {
        std::vector<uint8_t> flipped = kExampleBlock;
        flipped[BLOCK_CHECKSUM_FIELD + bit / 8] ^= uint8_t(1 << (bit % 8));
        EXPECT_EQ(Decode(flipped, 8).result, 0u) << "bit " << bit;
    }
}

TEST(BlockDecoderExample, OurWriterReproducesTheExampleBits) {
    BitWriter writer = NewStreamWith8BitLiterals();
    for (char letter : std::string("abc")) Literal8(writer, uint8_t(letter));
    Bits(writer, "000 0000011 11");
    std::vector<uint8_t> data = Bytes("abcabcab");
    End(writer);
    EXPECT_EQ(FinishBlock(writer, data.data(), 8), kExampleBlock);
}

TEST(BlockDecoderHeader, RejectsWrongMagicNullAndShortBlocksWithoutWriting) {
    for (const char* magic : {"JD", "jc", "CJ"}) {
        std::vector<uint8_t> block = kExampleBlock;
        block[0] = uint8_t(magic[0]);
        block[1] = uint8_t(magic[1]);
        Decoded decoded = Decode(block, 8);
        EXPECT_EQ(decoded.result, 0u) << magic;
        EXPECT_EQ(decoded.bytes, std::vector<uint8_t>(8, 0xEE)) << magic;
        EXPECT_EQ(DecodedBlockSize(block.data(), uint32_t(block.size())), 0u) << magic;
    }
    uint8_t destination[8];
    EXPECT_EQ(DecodeBlock(nullptr, 18, destination, 8), 0u);
    EXPECT_EQ(DecodeBlock(kExampleBlock.data(), 18, nullptr, 8), 0u);
    EXPECT_EQ(DecodedBlockSize(nullptr, 18), 0u);
    EXPECT_EQ(DecodedBlockSize(kExampleBlock.data(), BLOCK_HEADER_SIZE - 1), 0u);
    EXPECT_EQ(DecodedBlockSize(kExampleBlock.data(), BLOCK_HEADER_SIZE), 8u);
}

TEST(BlockDecoderHeader, DecodedSizeAboveCapacityFailsBeforeWriting) {
    Decoded decoded = Decode(kExampleBlock, 7);
    EXPECT_EQ(decoded.result, 0u);
    EXPECT_EQ(decoded.bytes, std::vector<uint8_t>(7, 0xEE));
    std::vector<uint8_t> huge = kExampleBlock;
    memset(&huge[BLOCK_SIZE_FIELD], 0xFF, 4);
    EXPECT_EQ(Decode(huge, 64).result, 0u);
}

TEST(BlockDecoderHeader, EmptyStreamGivesZeroLikeAFailure) {
    BitWriter writer = NewStream();
    std::vector<uint8_t> block = Seal(writer, 0, 0);
    EXPECT_EQ(block.size(), 14u);
    EXPECT_EQ(Decode(block, 0).result, 0u);
}

TEST(BlockChecksum, KnownValuesAndShortInputs) {
    EXPECT_EQ(BlockChecksum(Bytes("abcd").data(), 4), 0xACA5A6A2u);
    EXPECT_EQ(BlockChecksum(Bytes("abcdef").data(), 6), 0xDFC1C3C2u);
    for (uint32_t size = 0; size < 4; ++size) EXPECT_EQ(BlockChecksum(Bytes("xyz").data(), size), 0u);
}

TEST(BlockChecksum, TailOfOneToThreeBytesIsTheWordEndingAtTheLastByte) {
    auto mix = [](uint32_t sum, const uint8_t* at) {
        uint32_t word = Uint32At(at);
        sum += word;
        return sum ^ (((word << 1) | (word >> 31)) + 1);
    };
    std::vector<uint8_t> data = Bytes("0123456789ABCDEFG");
    for (uint32_t size = 8; size <= 11; ++size) {
        uint32_t expected = mix(mix(0, &data[0]), &data[4]);
        if (size > 8) expected = mix(expected, &data[size - 4]);
        EXPECT_EQ(BlockChecksum(data.data(), size), expected) << size;
    }
}

TEST(BlockChecksum, ShortBlockWithNonZeroChecksumAlwaysFails) {
    BitWriter writer = NewStreamWith8BitLiterals();
    Literal8(writer, 'x');
    EXPECT_EQ(Decode(Seal(writer, 1, 0), 1).result, 1u);
    BitWriter again = NewStreamWith8BitLiterals();
    Literal8(again, 'x');
    EXPECT_EQ(Decode(Seal(again, 1, 1), 1).result, 0u);
}

TEST(BlockDecoderLiterals, SevenBitLiteralsAddTheBaseModulo256) {
    BitWriter writer = NewStream();
    Bits(writer, "001 0000 0 0");
    Field(writer, 0xF0, 8);
    Bits(writer, "1 1111111  1 0000000  1 0010000");
    Decoded decoded = Decode(Seal(writer, 3, 0), 3);
    EXPECT_EQ(decoded.result, 3u);
    EXPECT_EQ(decoded.bytes, (std::vector<uint8_t>{0x6F, 0xF0, 0x00}));
}

TEST(BlockDecoderLiterals, SwitchingBackToEightBitsDropsTheBase) {
    BitWriter writer = NewStream();
    Bits(writer, "001 0000 0 0");
    Field(writer, 0x40, 8);
    Bits(writer, "1 0000001");
    Bits(writer, "001 0000 0 1");
    Literal8(writer, 0x01);
    Decoded decoded = Decode(Seal(writer, 2, 0), 2);
    EXPECT_EQ(decoded.result, 2u);
    EXPECT_EQ(decoded.bytes, (std::vector<uint8_t>{0x41, 0x01}));
}

TEST(BlockDecoderLiterals, LiteralBeforeAnySettingIsCorrupt) {
    BitWriter writer = NewStream();
    Literal8(writer, 'a');
    EXPECT_EQ(Decode(Seal(writer, 1, 0), 1).result, 0u);
}

TEST(BlockDecoderNibble, ZeroByteAndNearCopiesKeepTheLastOffset) {
    BitWriter writer = NewStreamWith8BitLiterals();
    for (char letter : std::string("abcdefghijklmnop")) Literal8(writer, uint8_t(letter));
    Bits(writer, "000 0000100 00");   // short match offset 4, length 2: "mn"; last offset 4
    Bits(writer, "001 0001");         // zero byte
    Bits(writer, "001 0010");         // offset 1: the zero again
    Bits(writer, "001 1111");         // offset 14
    Bits(writer, "01 00 00");         // repeat, length 2, still offset 4
    Decoded decoded = Decode(Seal(writer, 23, 0), 23);
    std::vector<uint8_t> expected = Bytes("abcdefghijklmnopmn");
    expected.push_back(0);
    expected.push_back(0);
    expected.push_back(expected[expected.size() - 14]);
    expected.push_back(expected[expected.size() - 4]);
    expected.push_back(expected[expected.size() - 4]);
    EXPECT_EQ(decoded.result, 23u);
    EXPECT_EQ(decoded.bytes, expected);
}

TEST(BlockDecoderRawRun, AppendsPlainBytesWithoutTheBaseAndFollowsContinuations) {
    for (int runs : {1, 2}) {
        BitWriter writer = NewStream();
        Bits(writer, "001 0000 0 0");
        Field(writer, 0x33, 8);   // a base that must not touch raw bytes
        Bits(writer, "001 0000 1");
        std::vector<uint8_t> expected;
        for (int run = 0; run < runs; ++run) {
            for (int index = 0; index < 256; ++index) {
                uint8_t byte = uint8_t(index * 37 + run);
                Field(writer, byte, 8);
                expected.push_back(byte);
            }
            Bits(writer, run + 1 < runs ? "1" : "0");
        }
        Bits(writer, "1 0000000");   // a literal after it still gets the base
        expected.push_back(0x33);
        Decoded decoded = Decode(Seal(writer, uint32_t(expected.size()), 0), uint32_t(expected.size()));
        EXPECT_EQ(decoded.result, expected.size()) << runs;
        EXPECT_EQ(decoded.bytes, expected) << runs;
    }
}

namespace {

// Distinct-looking prefix bytes written as raw runs, so matches at every offset can be checked.
std::vector<uint8_t> WritePrefix(BitWriter& writer, uint32_t runs) {
    std::vector<uint8_t> prefix;
    Bits(writer, "001 0000 1");
    for (uint32_t run = 0; run < runs; ++run) {
        for (uint32_t index = 0; index < 256; ++index) {
            uint8_t byte = uint8_t((run * 256 + index) * 2654435761u >> 24);
            Field(writer, byte, 8);
            prefix.push_back(byte);
        }
        Bits(writer, run + 1 < runs ? "1" : "0");
    }
    return prefix;
}

void Gamma(BitWriter& writer, uint32_t value) { WriteGamma(writer, value); }

void CopyFrom(std::vector<uint8_t>& data, uint32_t offset, uint32_t length) {
    for (uint32_t index = 0; index < length; ++index) data.push_back(data[data.size() - offset]);
}

}   // namespace

TEST(BlockDecoderMatches, LengthAdjustmentAtEachBound) {
    struct Case {
        uint32_t offset, added;
    };
    const Case cases[] = {{1, 4},     {127, 4},   {128, 0},   {638, 0},   {639, 1},
                          {14334, 1}, {14335, 2}, {65535, 2}, {65536, 3}, {70000, 3}};
    for (const Case& c : cases) {
        for (uint32_t n : {2u, 5u}) {
            BitWriter writer = NewStreamWith8BitLiterals();
            std::vector<uint8_t> expected = WritePrefix(writer, 280);
            Bits(writer, "01");
            Gamma(writer, (c.offset >> 8) + 3);
            Field(writer, c.offset & 0xFF, 8);
            Gamma(writer, n);
            CopyFrom(expected, c.offset, n + c.added);
            Decoded decoded = Decode(Seal(writer, uint32_t(expected.size()), 0), uint32_t(expected.size()));
            EXPECT_EQ(decoded.result, expected.size()) << c.offset << " n " << n;
            EXPECT_EQ(decoded.bytes, expected) << c.offset << " n " << n;
        }
    }
}

TEST(BlockDecoderMatches, ShortMatchAndRepeatOverlapFromTheStartOffset) {
    BitWriter writer = NewStreamWith8BitLiterals();
    Literal8(writer, 0x41);
    Bits(writer, "000 0000001 11");   // offset 1, length 5
    Decoded decoded = Decode(Seal(writer, 6, 0), 6);
    EXPECT_EQ(decoded.result, 6u);
    EXPECT_EQ(decoded.bytes, std::vector<uint8_t>(6, 0x41));

    BitWriter repeat = NewStreamWith8BitLiterals();
    Literal8(repeat, 0x41);
    Bits(repeat, "01 00 10");   // repeat with the start offset 1, length 3
    decoded = Decode(Seal(repeat, 4, 0), 4);
    EXPECT_EQ(decoded.result, 4u);
    EXPECT_EQ(decoded.bytes, std::vector<uint8_t>(4, 0x41));
}

TEST(BlockDecoderMatches, StartOffsetWidthIsEightAndSettingsChangeIt) {
    BitWriter writer = NewStreamWith8BitLiterals();
    std::vector<uint8_t> expected = WritePrefix(writer, 2);
    Bits(writer, "01 10");   // g = 3
    Field(writer, 0x80, 8);
    Gamma(writer, 2);
    CopyFrom(expected, 128, 2);
    // 4-, 5- and 6-bit width fields; each followed by a match at offset 300.
    struct Setting {
        const char* bits;
        uint32_t width;
    };
    for (const Setting& setting : {Setting{"000 0000000 01 0011", 3}, Setting{"000 0000000 10 10000", 16},
                                   Setting{"000 0000000 11 000101", 5}}) {
        Bits(writer, setting.bits);
        Bits(writer, "01");
        Gamma(writer, (300 >> setting.width) + 3);
        Field(writer, 300 & ((1u << setting.width) - 1), setting.width);
        Gamma(writer, 3);
        CopyFrom(expected, 300, 3);
    }
    Decoded decoded = Decode(Seal(writer, uint32_t(expected.size()), 0), uint32_t(expected.size()));
    EXPECT_EQ(decoded.result, expected.size());
    EXPECT_EQ(decoded.bytes, expected);
}

TEST(BlockDecoderStream, NothingAfterTheEndWordIsRead) {
    std::vector<uint8_t> padded = kExampleBlock;
    padded.insert(padded.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0x12});
    Decoded decoded = Decode(padded, 8);
    EXPECT_EQ(decoded.result, 8u);
    EXPECT_EQ(decoded.bytes, Bytes("abcabcab"));
}

TEST(BlockDecoderStream, EndingEarlyReturnsTheCountOrFailsTheChecksum) {
    BitWriter writer = NewStreamWith8BitLiterals();
    Literal8(writer, 'a');
    Literal8(writer, 'b');
    EXPECT_EQ(Decode(Seal(writer, 6, 0), 6).result, 2u);
    BitWriter checked = NewStreamWith8BitLiterals();
    Literal8(checked, 'a');
    Literal8(checked, 'b');
    EXPECT_EQ(Decode(Seal(checked, 6, 0x12345678), 6).result, 0u);
}

TEST(BlockDecoderStream, TruncationAtEveryLengthFails) {
    for (size_t length = 0; length < kExampleBlock.size(); ++length) {
        std::vector<uint8_t> cut(kExampleBlock.begin(), kExampleBlock.begin() + length);
        uint8_t destination[8];
        EXPECT_EQ(DecodeBlock(length ? cut.data() : kExampleBlock.data(), uint32_t(length), destination, 8), 0u)
            << length;
    }
}

TEST(BlockDecoderBreaches, EachCorruptFormGivesZero) {
    struct Breach {
        const char* name;
        void (*write)(BitWriter&);
        uint32_t decodedSize;
    };
    const Breach breaches[] = {
        {"literal past decoded size", [](BitWriter& w) { Literal8(w, 1), Literal8(w, 2); }, 1},
        {"zero byte past decoded size", [](BitWriter& w) { Bits(w, "001 0001"); }, 0},
        {"short match before start", [](BitWriter& w) { Literal8(w, 1), Bits(w, "000 0000010 00"); }, 3},
        {"short match past size", [](BitWriter& w) { Literal8(w, 1), Bits(w, "000 0000001 11"); }, 5},
        {"repeat at start", [](BitWriter& w) { Bits(w, "01 00 00"); }, 2},
        {"near byte before start", [](BitWriter& w) { Literal8(w, 1), Bits(w, "001 0011"); }, 2},
        {"offset 0", [](BitWriter& w) { Literal8(w, 1), Bits(w, "01 10 00000000 00"); }, 7},
        {"offset width 0", [](BitWriter& w) { Bits(w, "000 0000000 01 0000"); }, 0},
        {"offset width 32", [](BitWriter& w) { Bits(w, "000 0000000 11 100000"); }, 0},
        {"offset width 63", [](BitWriter& w) { Bits(w, "000 0000000 11 111111"); }, 0},
        {"raw run past size", [](BitWriter& w) { Bits(w, "001 0000 1"), WriteBits(w, 0, 32); }, 255},
        {"gamma beyond 32 bits",
         [](BitWriter& w) {
             Literal8(w, 1);
             Bits(w, "01 00");
             for (int digit = 0; digit < 32; ++digit) Bits(w, "11");
             Bits(w, "00");
         },
         1},
        {"offset beyond 32 bits",
         [](BitWriter& w) {
             Literal8(w, 1);
             Bits(w, "01");
             WriteGamma(w, (1u << 24) + 3);   // shifted by the width 8, it loses its top bit
             WriteBits(w, 1, 8);
             WriteGamma(w, 2);
         },
         7},
    };
    for (const Breach& breach : breaches) {
        BitWriter writer = NewStreamWith8BitLiterals();
        breach.write(writer);
        Decoded decoded = Decode(Seal(writer, breach.decodedSize, 0), breach.decodedSize + 16);
        EXPECT_EQ(decoded.result, 0u) << breach.name;
    }
}

TEST(BlockDecoderBreaches, StreamWithoutEndTokenFailsAtTheBlockEnd) {
    // 27 bits of tokens leave 5 zero bits of padding: too few for an end token.
    BitWriter writer = NewStreamWith8BitLiterals();
    Literal8(writer, 'a');
    Literal8(writer, 'b');
    std::vector<uint8_t> data = Bytes("ab");
    std::vector<uint8_t> block = FinishBlock(writer, data.data(), 2);
    EXPECT_EQ(block.size(), 14u);
    EXPECT_EQ(Decode(block, 2).result, 0u);
}
