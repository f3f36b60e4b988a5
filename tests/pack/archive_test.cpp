// The archive the builder writes and the installer's checks that list, verify
// and extract repeat: header fields, the stored/compressed choice, every
// reason for refusing an archive, and the entry stream's walk.
#include <gtest/gtest.h>

#include "archive/crc32.h"
#include "pack/installer/entry_stream.h"
#include "pack/installer/installer_file.h"
#include "pack/installer/load_memory.h"
#include "pack/pe/pe_checksum.h"
#include "pack/pe/pe_image.h"
#include "pack_testing.h"

namespace {

const Bytes WORKED_EXAMPLE = {0x2E, 0x5C, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x2E, 0x74,
                              0x78, 0x74, 0x00, 0x61, 0x62, 0x63, 0xFF, 0xFF, 0xFF, 0xFF};

void PutText(Bytes* bytes, const std::string& text) {
    bytes->insert(bytes->end(), text.begin(), text.end());
    bytes->push_back(0);
}

Bytes Header(int32_t unpacked, int32_t stored, uint32_t crc) {
    Bytes header;
    AppendUint32(&header, (uint32_t)unpacked);
    AppendUint32(&header, (uint32_t)stored);
    AppendUint32(&header, (uint32_t)(int32_t)crc);
    return header;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Load(const Bytes& archive, std::vector<uint8_t>* stream = nullptr) {
    ArchiveInfo info;
    std::vector<uint8_t> decoded;
    std::string problem = UnpackArchive(archive.data(), archive.size(), &info, &decoded).text;
    if (stream) *stream = decoded;
    return problem;
}

Bytes WithInt32(Bytes bytes, size_t at, int32_t value) {
    SetUint32At(&bytes, at, (uint32_t)value);
    return bytes;
}

const CompressionLevel& Level(const char* name) { return *FindCompressionLevel(name); }

// Header and stored block in one piece, as they follow the stub.
Bytes WholeArchive(const Bytes& stream, const CompressionLevel& level) {
    PackedArchive archive = PackArchive(stream, level, 1, nullptr, nullptr);
    return Concat(ArchiveHeaderBytes(archive.header), archive.block);
}

Bytes Repetitive(size_t size) {
    Bytes bytes;
    while (bytes.size() < size) PutText(&bytes, "the same line, again and again\r\n");
    bytes.resize(size);
    return bytes;
}

Bytes Noise(size_t size) {
    Bytes bytes(size);
    uint32_t state = 12345;
    for (uint8_t& byte : bytes) byte = uint8_t((state = state * 1103515245 + 12345) >> 23);
    return bytes;
}

}   // namespace

TEST(Archive, WorkedExampleStoredGivesTheKnownHeader) {
    Bytes archive = WholeArchive(WORKED_EXAMPLE, Level("store"));
    EXPECT_EQ(archive, Concat(Header(20, 20, 0xAD53A5A7), WORKED_EXAMPLE));
}

TEST(Archive, EveryLevelLoadsBackToTheStream) {
    for (const Bytes& stream : {WORKED_EXAMPLE, Repetitive(50000), Noise(5000)}) {
        for (const CompressionLevel& level : CompressionLevels()) {
            Bytes archive = WholeArchive(stream, level);
            std::vector<uint8_t> decoded;
            ASSERT_EQ(Load(archive, &decoded), "") << level.name;
            EXPECT_EQ(decoded, stream) << level.name;
        }
    }
}

// create's last check before it commits: the block must decode to the size
// and CRC-32 its header gives, which were the stream's.
TEST(Archive, BlockUnpacksAsItsHeaderSaysOnly) {
    Bytes stream = Repetitive(50000);
    PackedArchive archive = PackArchive(stream, Level("fast"), 1, nullptr, nullptr);
    EXPECT_TRUE(BlockUnpacksAsItsHeaderSays(archive));
    PackedArchive other = archive;
    other.header.unpackedSize ^= 1;
    EXPECT_FALSE(BlockUnpacksAsItsHeaderSays(other));
    other = archive;
    other.header.expectedCrc ^= 1;
    EXPECT_FALSE(BlockUnpacksAsItsHeaderSays(other));
    archive.block[archive.block.size() / 2] ^= 0x10;
    EXPECT_FALSE(BlockUnpacksAsItsHeaderSays(archive));
}

TEST(Archive, CompressesWhenItShrinksAndStoresOtherwise) {
    Bytes text = Repetitive(50000);
    Bytes compressed = WholeArchive(text, Level("best"));
    EXPECT_LT(compressed.size(), text.size() / 10);
    EXPECT_EQ(compressed[12], 'J');
    // Noise does not shrink: a block as long as the stream would be read as the
    // stream itself, so anything not shorter is stored.
    for (const Bytes& stream : {Noise(4000), WORKED_EXAMPLE}) {
        Bytes archive = WholeArchive(stream, Level("fast"));
        EXPECT_EQ(archive, Concat(Header((int32_t)stream.size(), (int32_t)stream.size(),
                                         Crc32Fingerprint(stream.data(), (uint32_t)stream.size())),
                                  stream));
    }
}

TEST(Archive, RefusedForEachReasonTheInstallerHas) {
    Bytes good = WholeArchive(Repetitive(3000), Level("best"));
    Bytes stored = WholeArchive(WORKED_EXAMPLE, Level("store"));
    auto expectRefused = [](const Bytes& archive, const std::string& words) {
        std::string problem = Load(archive);
        EXPECT_NE(problem.find(words), std::string::npos) << "'" << problem << "' lacks '" << words << "'";
    };
    expectRefused(Bytes(good.begin(), good.begin() + 8), "header is cut short");
    expectRefused(WithInt32(stored, 0, 0),
                  "not an installer made by sfxpack (no archive after the installer stub): its header's unpacked "
                  "size would be 0");
    expectRefused(WithInt32(stored, 0, -5), "unpacked size would be -5");
    expectRefused(WithInt32(stored, 4, -1), "stored size would be -1");
    expectRefused(WithInt32(WithInt32(stored, 0, 999), 4, 999), "runs past the end");
    expectRefused(WithInt32(stored, 4, 21), "not an installer made by sfxpack");   // stored, called compressed
    expectRefused(Concat(stored, {0}), "1 bytes follow the stored block");
    expectRefused(Concat(good, {0, 0}), "2 bytes follow the stored block");
    Bytes flipped = stored;
    flipped[12 + 14] ^= 0x04;
    expectRefused(flipped, "CRC-32");
    Bytes noMagic = good;
    noMagic[12] = 'X';
    expectRefused(noMagic, "not an installer made by sfxpack (no archive after the installer stub): what follows its "
                           "header is neither an entry stream nor a compressed block");
    expectRefused(WithInt32(good, 0, 2999), "decodes to 3000 bytes, the header says 2999");
    Bytes damaged = good;
    damaged[12 + 10 + 4] ^= 0x10;   // inside the bit stream
    expectRefused(damaged, "damaged");
}

TEST(Archive, LoadsWhereItsTwoAllocationsFit) {
    const uint64_t MiB = 1 << 20;
    struct Case {
        uint64_t stream, block;
        LoadReach reach;
    };
    const Case cases[] = {
        {100 * MiB, 100 * MiB, LOADS_ANYWHERE},   // stored: one allocation
        {512 * MiB, 512 * MiB, LOADS_ANYWHERE},
        {512 * MiB + 1, 512 * MiB + 1, LOADS_ON_64_BIT_ONLY},
        {512 * MiB, 448 * MiB, LOADS_ANYWHERE},   // compressed: both together 960 MiB
        {512 * MiB, 448 * MiB + 1, LOADS_ON_64_BIT_ONLY},
        {600 * MiB, 10 * MiB, LOADS_ON_64_BIT_ONLY},   // the larger one too large
        {2047 * MiB, 2047 * MiB, LOADS_ON_64_BIT_ONLY},
        {2047 * MiB + 1, 2047 * MiB + 1, LOADS_NOWHERE},
        {1500 * MiB, 547 * MiB, LOADS_ON_64_BIT_ONLY},
        {1500 * MiB, 548 * MiB, LOADS_NOWHERE},
    };
    for (const Case& c : cases) {
        LoadNeed need = InstallerLoadNeed(c.stream, c.block);
        EXPECT_EQ(need.reach, c.reach) << c.stream << " + " << c.block;
        if (c.reach == LOADS_ANYWHERE) continue;
        std::string text = LoadNeedText(need);
        EXPECT_NE(text.find(c.stream == c.block ? "in one allocation" : "in two allocations"), std::string::npos);
        EXPECT_NE(text.find(c.reach == LOADS_NOWHERE ? "at most 2047 MiB" : "64-bit Windows only"), std::string::npos)
            << text;
    }
}

TEST(Archive, PeChecksumCoversEveryPartAcrossOddEnds) {
    Bytes stub = FakeStub();
    const size_t field = ReadPeImage(stub).checksumOffset;
    ASSERT_EQ(field, FAKE_STUB_CHECKSUM);
    Bytes odd = Noise(1001), other = Noise(77), whole = stub;
    SetPeChecksum(&stub, {&odd, &other});
    whole = Concat(Concat(whole, odd), other);
    EXPECT_EQ(Uint32At(stub, field), PeChecksumOf(whole, field));
}

TEST(EntryStream, WorkedExampleParses) {
    ParsedStream parsed;
    ASSERT_EQ(ParseEntryStream(WORKED_EXAMPLE, &parsed).text, "");
    EXPECT_EQ(parsed.target, ".\\");
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].name, "a.txt");
    EXPECT_EQ(parsed.entries[0].sizeCode, 3);
    EXPECT_EQ(parsed.entries[0].dataOffset, 13u);
    EXPECT_TRUE(parsed.hasEndCode);
}

TEST(EntryStream, EndsAtItsEndWithoutTheEndCode) {
    Bytes stream(WORKED_EXAMPLE.begin(), WORKED_EXAMPLE.end() - 4);
    ParsedStream parsed;
    ASSERT_EQ(ParseEntryStream(stream, &parsed).text, "");
    EXPECT_EQ(parsed.entries.size(), 1u);
    EXPECT_FALSE(parsed.hasEndCode);
    ASSERT_EQ(ParseEntryStream(Concat(WORKED_EXAMPLE, {1, 2, 3}), &parsed).text, "");
    EXPECT_EQ(parsed.bytesAfterEnd, 3u);
}

TEST(EntryStream, RefusesWhatTheInstallerRefusesAndKeepsEarlierEntries) {
    auto streamWith = [](int32_t sizeCode, const std::string& name, const Bytes& data) {
        Bytes stream;
        PutText(&stream, "C:\\T\\");
        AppendUint32(&stream, (uint32_t)-2);
        PutText(&stream, "first\\");
        AppendUint32(&stream, (uint32_t)sizeCode);
        PutText(&stream, name);
        return Concat(stream, data);
    };
    struct Case {
        Bytes stream;
        const char* words;
    };
    const Case cases[] = {
        {streamWith(-3, "x", {}), "size code -3 is invalid"},
        {streamWith(5, "x", {1, 2}), "runs past the end"},
        {streamWith(0, "..\\evil", {}), "would leave the target directory"},
        {streamWith(0, "a/../../evil", {}), "would leave the target directory"},
        {streamWith(0, "\\rooted", {}), "would leave the target directory"},
        {streamWith(0, "C:evil", {}), "would leave the target directory"},
        {Concat(streamWith(0, "ok", {}), {0xFF, 0xFF}), "size code runs past the end"},
        {Concat(streamWith(-2, "ok\\", {}), {'n', 'o', 'n', 'u', 'l'}), "runs past the end"},
    };
    for (const Case& c : cases) {
        ParsedStream parsed;
        std::string problem = ParseEntryStream(c.stream, &parsed).text;
        EXPECT_NE(problem.find(c.words), std::string::npos) << problem;
        ASSERT_GE(parsed.entries.size(), 1u) << c.words;
        EXPECT_EQ(parsed.entries[0].name, "first\\");
    }
    ParsedStream parsed;
    EXPECT_NE(ParseEntryStream(Bytes{'.', '\\'}, &parsed).text, "");   // the target has no NUL
}

TEST(Stub, MustBeAnElevenKilobyteI386PeImage) {
    EXPECT_EQ(StubProblem(FakeStub()).text, "");
    Bytes shorter = FakeStub();
    shorter.pop_back();
    EXPECT_NE(StubProblem(shorter).text.find("11263 bytes"), std::string::npos);
    Bytes longer = FakeStub();
    longer.push_back(0);
    EXPECT_NE(StubProblem(longer).text, "");
    Bytes noMz = FakeStub();
    noMz[0] = 0;
    EXPECT_NE(StubProblem(noMz).text.find("MZ"), std::string::npos);
    Bytes noPe = FakeStub();
    noPe[0x81] = 'X';
    EXPECT_NE(StubProblem(noPe).text.find("PE"), std::string::npos);
    Bytes farPointer = FakeStub();
    farPointer[0x3D] = 0x7F;   // the PE header would lie far outside the file
    EXPECT_NE(StubProblem(farPointer).text, "");
    Bytes x64 = FakeStub();
    x64[0x84] = 0x64;
    x64[0x85] = 0x86;
    EXPECT_NE(StubProblem(x64).text.find("32-bit"), std::string::npos);
}
