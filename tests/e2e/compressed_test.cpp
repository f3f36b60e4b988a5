// Compressed archives extract exactly as stored ones do; a damaged block or a
// CRC-32 that does not match ends in the error box.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "codec/encoder.h"
#include "harness.h"

namespace fs = std::filesystem;

static std::vector<EntrySpec> VariedEntries() {
    std::mt19937 random(7);
    std::string noise(20000, '\0');
    for (char& c : noise) c = char(random());
    std::string text;
    for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i % 37) + " of a repetitive text file\r\n";
    return {DirectoryEntry("data\\"),          FileEntry("data\\noise.bin", noise),
            FileEntry("data\\text.txt", text), FileEntry("zeros.bin", std::string(70000, '\0')),
            FileEntry("empty.txt", ""),        FileEntry("stub.exe", std::string(ReadFileText(StubPath())))};
}

static Bytes Compress(const Bytes& stream, const char* level) {
    return EncodeBlock(stream.data(), stream.size(), *FindCompressionLevel(level));
}

static void ExpectTree(const std::string& root, const std::vector<EntrySpec>& entries) {
    for (const EntrySpec& entry : entries) {
        std::string path = root + "/" + entry.name;
        for (char& c : path)
            if (c == '\\') c = '/';
        if (entry.sizeCode == -2) EXPECT_TRUE(fs::is_directory(path)) << path;
        else EXPECT_EQ(ReadFileText(path), entry.data) << path;
    }
}

TEST(Compressed, FastAndBestBlocksExtractTheSameTreeAsAStoredArchive) {
    std::vector<EntrySpec> entries = VariedEntries();
    Bytes stream = MakeEntryStream(".\\", entries);
    struct Case {
        const char* name;
        Bytes archive;
    } cases[] = {{"stored", MakeStoredArchive(stream)},
                 {"fast", MakeArchive(stream, Compress(stream, "fast"))},
                 {"best", MakeArchive(stream, Compress(stream, "best"))}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) != "stored") {
            EXPECT_LT(c.archive.size(), stream.size() / 2);
        }
        InstallerRun run = RunInstaller(c.archive, std::string("compressed_") + c.name);
        EXPECT_EQ(run.exitCode, 0) << run.log;
        EXPECT_TRUE(run.boxes.empty());
        ExpectTree(run.scratch, entries);
    }
}

TEST(Compressed, DamagedBlockIsRefused) {
    Bytes stream = MakeEntryStream(".\\", VariedEntries());
    Bytes block = Compress(stream, "fast");
    Bytes damaged = block;
    damaged[damaged.size() / 2] ^= 0x10;
    InstallerRun run = RunInstaller(MakeArchive(stream, damaged), "damaged_block");
    ExpectInvalidArchive(run);
    EXPECT_FALSE(Exists(run.scratch + "/data"));

    Bytes truncated(block.begin(), block.end() - 4);
    ExpectInvalidArchive(RunInstaller(MakeArchive(stream, truncated), "truncated_block"));

    Bytes badMagic = block;
    badMagic[0] = 'j';
    ExpectInvalidArchive(RunInstaller(MakeArchive(stream, badMagic), "bad_magic"));
}

TEST(Compressed, SoundBlockWithWrongCrcIsRefused) {
    Bytes stream = MakeEntryStream(".\\", {FileEntry("a.txt", std::string(5000, 'a'))});
    Bytes archive = MakeArchive(stream, Compress(stream, "best"));
    archive[8] ^= 0x01;   // the header's CRC-32
    InstallerRun run = RunInstaller(archive, "wrong_crc");
    ExpectInvalidArchive(run);
    EXPECT_FALSE(Exists(run.scratch + "/a.txt"));
}

TEST(Compressed, BlockDecodingToAnotherSizeThanTheHeaderSaysIsRefused) {
    Bytes stream = MakeEntryStream(".\\", {FileEntry("a.txt", std::string(5000, 'a'))});
    Bytes block = Compress(stream, "fast");
    Bytes archive = MakeArchive(stream, block);
    Bytes longer = stream;
    longer.push_back(0);   // header claims one byte more than the block holds
    Bytes mismatched = MakeArchive(longer, block);
    ExpectInvalidArchive(RunInstaller(mismatched, "size_mismatch"));
}
