// Round trips of both levels through the decoder over varied inputs, and the
// encoder's promises: header fields, determinism, progress, and the token
// forms that only pay on some inputs (raw runs, 7-bit literals).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "../common/installer_bytes.h"
#include "archive/block_decoder.h"
#include "codec/encoder.h"
#include "codec/fast_parser.h"
#include "codec/match_finder.h"
#include "codec/near_matches.h"
#include "codec/stored_sections.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed, uint32_t modulus = 256, uint8_t base = 0) {
    std::vector<uint8_t> bytes(size);
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (uint8_t& byte : bytes) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        byte = uint8_t(base + (state >> 33) % modulus);
    }
    return bytes;
}

// Words drawn from a small vocabulary: text with matches at every distance.
std::vector<uint8_t> Text(size_t size, uint32_t seed) {
    static const char* words[] = {"the ",        "archive ", "installer ", "of ",  "decoder ", "and ", "a ",
                                  "compressed ", "block ",   "window ",    "\r\n", "files ",   "to ",  "offset "};
    std::vector<uint8_t> random = RandomBytes(size, seed);
    std::string text;
    for (size_t index = 0; text.size() < size; ++index) text += words[random[index % size] % 14];
    return std::vector<uint8_t>(text.begin(), text.begin() + size);
}

std::vector<uint8_t> ReadFile(const char* path, size_t limit) {
    std::vector<uint8_t> bytes;
    FILE* file = fopen(path, "rb");
    if (!file) return bytes;
    bytes.resize(limit);
    bytes.resize(fread(bytes.data(), 1, limit, file));
    fclose(file);
    return bytes;
}

const CompressionLevel& Level(const char* name) { return *FindCompressionLevel(name); }

// Every level that makes a compressed block.
std::vector<const CompressionLevel*> CompressingLevels() {
    std::vector<const CompressionLevel*> levels;
    for (const CompressionLevel& level : CompressionLevels())
        if (level.parse) levels.push_back(&level);
    return levels;
}

// Encodes, checks the header, decodes into an exact-size buffer; returns the block.
std::vector<uint8_t> ExpectRoundTrip(const std::vector<uint8_t>& input, const CompressionLevel& level,
                                     const std::string& name) {
    std::vector<uint8_t> block = EncodeBlock(input.data(), input.size(), level);
    EXPECT_GE(block.size(), 14u) << name;
    EXPECT_EQ((block.size() - BLOCK_HEADER_SIZE) % 4, 0u) << name;
    EXPECT_EQ(DecodedBlockSize(block.data(), uint32_t(block.size())), input.size()) << name;
    EXPECT_EQ(Uint32At(block, BLOCK_CHECKSUM_FIELD), BlockChecksum(input.data(), uint32_t(input.size()))) << name;
    std::vector<uint8_t> output(input.size());
    uint8_t spare = 0;
    uint32_t result = DecodeBlock(block.data(), uint32_t(block.size()), input.empty() ? &spare : output.data(),
                                  uint32_t(output.size()));
    EXPECT_EQ(result, input.size()) << name;
    EXPECT_TRUE(output == input) << name;
    return block;
}

struct Sample {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<Sample> Samples() {
    std::vector<Sample> samples = {
        {"empty", {}},
        {"one byte", {0x41}},
        {"two bytes", {0x00, 0xFF}},
        {"three bytes", {'a', 'a', 'a'}},
        {"zeros", std::vector<uint8_t>(100000, 0)},
        {"byte run", std::vector<uint8_t>(5000, 0x5A)},
        {"text", Text(200000, 1)},
        {"random", RandomBytes(70000, 2)},
        {"ascii random", RandomBytes(30000, 3, 95, 0x20)},
        {"high random", RandomBytes(30000, 4, 100, 0xC0)},   // a 7-bit range that wraps past 0xFF
    };
    std::vector<uint8_t> pattern;
    for (int index = 0; index < 4000; ++index) pattern.push_back(uint8_t(index % 3 == 0 ? index : index / 7));
    samples.push_back({"short period patterns", pattern});
    // A random stretch repeated far away, with text between: long offsets and repeats.
    std::vector<uint8_t> far = RandomBytes(40000, 5);
    std::vector<uint8_t> middle = Text(150000, 6);
    far.insert(far.end(), middle.begin(), middle.end());
    std::vector<uint8_t> again = RandomBytes(40000, 5);
    far.insert(far.end(), again.begin(), again.end());
    samples.push_back({"far repeat", far});
    for (const char* path : {"/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll", "/bin/ls"}) {
        std::vector<uint8_t> program = ReadFile(path, 600000);
        if (!program.empty()) samples.push_back({path, program});
    }
    return samples;
}

}   // namespace

TEST(CompressionLevels, OneTableWithUniqueNamesAndOneDefault) {
    size_t defaults = 0;
    for (const CompressionLevel& level : CompressionLevels()) {
        EXPECT_EQ(FindCompressionLevel(level.name), &level) << level.name;
        EXPECT_NE(std::string(level.description), "") << level.name;
        defaults += level.isDefault;
    }
    EXPECT_EQ(defaults, 1u);
    EXPECT_TRUE(DefaultCompressionLevel().isDefault);
    EXPECT_EQ(FindCompressionLevel("max"), nullptr);
    EXPECT_EQ(FindCompressionLevel(""), nullptr);
    EXPECT_EQ(Level("store").parse, nullptr);   // the one level without a compressed block
}

TEST(EncoderRoundTrip, FastLevel) {
    for (const Sample& sample : Samples()) ExpectRoundTrip(sample.bytes, Level("fast"), sample.name);
}

TEST(EncoderRoundTrip, BestLevel) {
    for (const Sample& sample : Samples()) ExpectRoundTrip(sample.bytes, Level("best"), sample.name);
}

TEST(EncoderRoundTrip, EverySmallLength) {
    std::vector<uint8_t> text = Text(300, 7);
    for (size_t size = 0; size <= 300; size += (size < 40 ? 1 : 13)) {
        std::vector<uint8_t> input(text.begin(), text.begin() + size);
        for (const CompressionLevel* level : CompressingLevels())
            ExpectRoundTrip(input, *level, level->name + (" " + std::to_string(size)));
    }
}

TEST(EncoderOutput, DeterministicForTheSameInputAndLevel) {
    std::vector<uint8_t> input = Text(120000, 8);
    for (const CompressionLevel* level : CompressingLevels())
        EXPECT_EQ(EncodeBlock(input.data(), input.size(), *level), EncodeBlock(input.data(), input.size(), *level));
}

// The best level's finder fills batches of 4096 results, 16 in flight: its
// input takes dozens of them, with long copies that cross their ends. The
// fast level parses sections of 2 MiB: its input spans three, with copies,
// zeros and a far repeat across their boundaries.
TEST(EncoderOutput, SameBytesForAnyNumberOfThreads) {
    std::vector<uint8_t> batches = Text(150000, 9), sections = Text(2000000, 15);
    for (const std::vector<uint8_t>& part :
         {RandomBytes(40000, 10), std::vector<uint8_t>(70000, 0), Text(150000, 9), RandomBytes(40000, 10)})
        batches.insert(batches.end(), part.begin(), part.end());
    for (const std::vector<uint8_t>& part : {RandomBytes(100000, 16), std::vector<uint8_t>(50000, 0), Text(1900000, 15),
                                             RandomBytes(100000, 16), Text(400000, 17)})
        sections.insert(sections.end(), part.begin(), part.end());
    const struct {
        const char* level;
        const std::vector<uint8_t>& input;
    } cases[] = {{"best", batches}, {"fast", sections}};
    for (const auto& test : cases) {
        std::vector<uint8_t> one = ExpectRoundTrip(test.input, Level(test.level), test.level);
        for (uint32_t threads : {2u, 3u})
            EXPECT_TRUE(EncodeBlock(test.input.data(), test.input.size(), Level(test.level), threads) == one)
                << test.level << threads;
    }
}

// Either thread may add a batch's near matches, each with a chain of its own
// that leaps over the batches the other did: a chain that leaps must find
// what one fed every position finds.
TEST(NearMatches, SameAfterALeapAsInOrder) {
    std::vector<uint8_t> input = Text(20000, 21);
    NearMatches inOrder, leaping;
    InitNearMatches(inOrder, input.data(), uint32_t(input.size()));
    InitNearMatches(leaping, input.data(), uint32_t(input.size()));
    std::vector<MatchCandidate> expected, found;
    for (uint32_t position = 0; position < input.size(); ++position) {
        uint32_t limit = std::min<uint32_t>(96, uint32_t(input.size()) - position);
        expected.clear();
        FindNearMatches(inOrder, position, limit, expected);
        // The leaping chain sees two runs in every 3000 positions, less every
        // 7th: leaps of 2, of about 250 and of about 2700 positions, shorter
        // and longer than the near window.
        uint32_t phase = position % 3000;
        bool seen = (phase >= 2 && phase < 52) || (phase >= 300 && phase < 320);
        if (!seen || position % 7 == 0) continue;
        found.clear();
        FindNearMatches(leaping, position, limit, found);
        ASSERT_EQ(found.size(), expected.size()) << position;
        for (size_t index = 0; index < found.size(); ++index) {
            EXPECT_EQ(found[index].length, expected[index].length) << position;
            EXPECT_EQ(found[index].offset, expected[index].offset) << position;
        }
    }
}

// The tree keeps a window of positions: a far repeat is found while the window
// reaches it and never beyond, and every match, of one walk or several at
// once, is real: its bytes agree, it lies within the window, and lengths rise.
TEST(MatchFinder, MatchesAreRealAndStayInTheWindow) {
    std::vector<uint8_t> input = RandomBytes(20000, 22);
    std::vector<uint8_t> middle = Text(60000, 23), again = RandomBytes(20000, 22);
    input.insert(input.end(), middle.begin(), middle.end());
    input.insert(input.end(), again.begin(), again.end());
    const uint32_t farOffset = 80000, farStart = 80000;
    for (uint32_t window : {1u << 12, 1u << 16, 1u << 17}) {
        MatchFinder finder;
        InitMatchFinder(finder, input.data(), uint32_t(input.size()), window);
        std::vector<MatchCandidate> found[WALKS_AT_ONCE];
        bool farFound = false;
        // One walk at a time, then two at once, and so on.
        for (uint32_t position = 0, call = 0; position < input.size(); ++call) {
            uint32_t count = std::min<uint32_t>(1 + call % WALKS_AT_ONCE, uint32_t(input.size()) - position);
            for (std::vector<MatchCandidate>& matches : found) matches.clear();
            FindMatchesAtOnce(finder, position, count, 96, found);
            for (uint32_t walk = 0; walk < count; ++walk, ++position) {
                const std::vector<MatchCandidate>& matches = found[walk];
                for (size_t index = 0; index < matches.size(); ++index) {
                    const MatchCandidate& match = matches[index];
                    ASSERT_TRUE(match.offset >= 1 && match.offset < window && match.offset <= position)
                        << window << " " << position;
                    ASSERT_LE(position + match.length, input.size());
                    ASSERT_TRUE(std::equal(input.begin() + position, input.begin() + position + match.length,
                                           input.begin() + position - match.offset))
                        << window << " " << position;
                    if (index > 0) {
                        ASSERT_GT(match.length, matches[index - 1].length) << window << " " << position;
                    }
                    farFound = farFound || (position >= farStart && match.offset == farOffset && match.length >= 16);
                }
            }
        }
        EXPECT_EQ(farFound, window > farOffset) << window;
    }
}

// The candidates the parser prices: of two lists, each longer than the one
// before and nearer than every longer one, appended after what out holds.
TEST(MatchFinder, StaircaseKeepsTheLongerAndNearer) {
    using Matches = std::vector<MatchCandidate>;
    struct Case {
        Matches first, second, expected;
    };
    const Case cases[] = {
        {{{2, 1}, {3, 5}}, {{3, 4}, {6, 100}, {8, 90}}, {{2, 1}, {3, 4}, {8, 90}}},
        {{}, {{4, 10}, {5, 8}}, {{5, 8}}},
        {{{3, 2}, {9, 7}}, {{9, 7}}, {{3, 2}, {9, 7}}},
        {{}, {}, {}},
    };
    for (const Case& test : cases) {
        Matches out = {{77, 77}};
        AppendStaircase(test.first.data(), test.first.size(), test.second.data(), test.second.size(), out);
        ASSERT_EQ(out.size(), test.expected.size() + 1);
        for (size_t index = 0; index < out.size(); ++index) {
            const MatchCandidate& want = index == 0 ? MatchCandidate{77, 77} : test.expected[index - 1];
            EXPECT_TRUE(out[index].length == want.length && out[index].offset == want.offset) << index;
        }
    }
}

// A section that the fast level does not shrink becomes raw runs, searched
// no further (a little over 8 bits a byte); the sections around it are
// compressed as ever (their offsets over it cost a little more).
TEST(StoredSections, SectionsThatDoNotShrinkAreRawRuns) {
    std::vector<uint8_t> input(FAST_SECTION_BYTES, 0), random = RandomBytes(FAST_SECTION_BYTES, 25),
                                                       text = Text(100000, 26);
    input.insert(input.end(), random.begin(), random.end());
    input.insert(input.end(), text.begin(), text.end());
    EXPECT_EQ(SectionsThatDoNotShrink(input.data(), uint32_t(input.size()), 2), (std::vector<uint8_t>{0, 1, 0}));
    std::vector<uint8_t> block = ExpectRoundTrip(input, Level("best"), "stored section");
    EXPECT_TRUE(EncodeBlock(input.data(), input.size(), Level("best"), 2) == block);
    std::vector<uint8_t> around(FAST_SECTION_BYTES, 0);
    around.insert(around.end(), text.begin(), text.end());
    size_t aroundSize = EncodeBlock(around.data(), around.size(), Level("best")).size();
    EXPECT_LT(block.size(), random.size() + random.size() / 1000 + aroundSize + aroundSize / 100);
}

TEST(EncoderOutput, ShortInputsCarryAZeroChecksum) {
    for (size_t size = 1; size <= 3; ++size) {
        std::vector<uint8_t> input(size, 0x77);
        EXPECT_EQ(Uint32At(EncodeBlock(input.data(), size, Level("best")), BLOCK_CHECKSUM_FIELD), 0u);
    }
    std::vector<uint8_t> four = {1, 2, 3, 4};
    EXPECT_NE(Uint32At(EncodeBlock(four.data(), 4, Level("fast")), BLOCK_CHECKSUM_FIELD), 0u);
}

TEST(EncoderOutput, ProgressGrowsAndEndsAtTheTotal) {
    std::vector<uint8_t> input = Text(700000, 9);
    for (const CompressionLevel* level : CompressingLevels()) {
        std::vector<std::pair<uint64_t, uint64_t>> calls;
        auto record = [](void* context, uint64_t done, uint64_t total) {
            static_cast<std::vector<std::pair<uint64_t, uint64_t>>*>(context)->push_back({done, total});
        };
        EncodeBlock(input.data(), input.size(), *level, 1, record, &calls);
        ASSERT_GE(calls.size(), 2u) << level->name;
        for (size_t index = 0; index < calls.size(); ++index) {
            EXPECT_EQ(calls[index].second, input.size());
            if (index > 0) {
                EXPECT_GE(calls[index].first, calls[index - 1].first);
            }
        }
        EXPECT_EQ(calls.back().first, input.size());
    }
}

TEST(EncoderRatio, BestBeatsFastAndUsesTheCheapForms) {
    struct Expectation {
        const char* name;
        std::vector<uint8_t> input;
        double bestBitsPerByte;   // at most
    };
    const Expectation expectations[] = {
        // Incompressible bytes: raw runs, a little over 8 bits a byte, not 9.
        {"random", RandomBytes(100000, 10), 8.05},
        // Unrelated printable bytes: 7-bit literals.
        {"ascii random", RandomBytes(100000, 11, 95, 0x20), 7.9},
        // The same with a wrapping base.
        {"high random", RandomBytes(100000, 12, 120, 0xD0), 7.9},
        {"zeros", std::vector<uint8_t>(100000, 0), 0.01},
    };
    for (const Expectation& expectation : expectations) {
        std::vector<uint8_t> best = ExpectRoundTrip(expectation.input, Level("best"), expectation.name);
        std::vector<uint8_t> fast = ExpectRoundTrip(expectation.input, Level("fast"), expectation.name);
        EXPECT_LE(best.size(), fast.size()) << expectation.name;
        EXPECT_LE(best.size() * 8.0 / expectation.input.size(), expectation.bestBitsPerByte) << expectation.name;
    }
    std::vector<uint8_t> text = Text(300000, 13);
    std::vector<uint8_t> best = ExpectRoundTrip(text, Level("best"), "text");
    std::vector<uint8_t> fast = ExpectRoundTrip(text, Level("fast"), "text");
    EXPECT_LT(best.size(), fast.size());
}

TEST(EncoderOutput, CorruptedBlocksNeverDecodeToWrongData) {
    std::vector<uint8_t> input = Text(3000, 14);
    std::vector<uint8_t> block = EncodeBlock(input.data(), input.size(), Level("best"));
    std::vector<uint8_t> output(input.size());
    for (size_t length = 0; length < block.size(); ++length) {
        std::vector<uint8_t> cut(block.begin(), block.begin() + length);
        EXPECT_EQ(DecodeBlock(cut.data(), uint32_t(length), output.data(), uint32_t(output.size())), 0u) << length;
    }
    for (size_t bit = 0; bit < block.size() * 8; ++bit) {
        std::vector<uint8_t> flipped = block;
        flipped[bit / 8] ^= uint8_t(1 << (bit % 8));
        uint32_t capacity = uint32_t(output.size()) + 64;
        std::vector<uint8_t> target(capacity);
        uint32_t result = DecodeBlock(flipped.data(), uint32_t(flipped.size()), target.data(), capacity);
        // Only a flip in the padding after the end token may still decode, and then to the same bytes.
        if (result != 0) {
            EXPECT_EQ(result, input.size()) << bit;
            EXPECT_TRUE(std::equal(input.begin(), input.end(), target.begin())) << bit;
        }
    }
}
