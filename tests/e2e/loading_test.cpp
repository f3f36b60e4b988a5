// The installer finds, reads and verifies its archive, or refuses it with the
// error box and exit code 255.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness.h"

namespace fs = std::filesystem;

static const Bytes kWorkedExampleStream = {0x2E, 0x5C, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x2E, 0x74,
                                           0x78, 0x74, 0x00, 0x61, 0x62, 0x63, 0xFF, 0xFF, 0xFF, 0xFF};

static Bytes SetInt32(Bytes bytes, size_t at, int32_t value) {
    SetUint32At(&bytes, at, (uint32_t)value);
    return bytes;
}

TEST(Loading, WorkedExampleExtractsItsFileAndListsIt) {
    Bytes archive = MakeStoredArchive(kWorkedExampleStream);
    ASSERT_EQ(archive.size(), 32u);
    EXPECT_EQ(Bytes(archive.begin(), archive.begin() + 12),
              (Bytes{0x14, 0, 0, 0, 0x14, 0, 0, 0, 0xA7, 0xA5, 0x53, 0xAD}));
    InstallerRun run = RunInstaller(archive, "worked_example");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(ReadFileText(run.scratch + "/a.txt"), "abc");
}

TEST(Loading, StubWithoutArchiveIsRefused) { ExpectInvalidArchive(RunInstaller({}, "no_archive")); }

TEST(Loading, ByteAfterTheStoredBlockIsRefused) {
    Bytes archive = MakeStoredArchive(kWorkedExampleStream);
    archive.push_back(0);
    InstallerRun run = RunInstaller(archive, "extra_byte");
    ExpectInvalidArchive(run);
    EXPECT_FALSE(Exists(run.scratch + "/a.txt"));
}

TEST(Loading, FlippedBitInStoredStreamFailsTheCrc) {
    Bytes archive = MakeStoredArchive(kWorkedExampleStream);
    archive[12 + 14] ^= 0x04;   // a data byte of a.txt
    InstallerRun run = RunInstaller(archive, "flipped_bit");
    ExpectInvalidArchive(run);
    EXPECT_FALSE(Exists(run.scratch + "/a.txt"));
}

TEST(Loading, ImpossibleHeaderSizesAreRefusedBeforeAnyAllocation) {
    Bytes archive = MakeStoredArchive(kWorkedExampleStream);
    ExpectInvalidArchive(RunInstaller(SetInt32(SetInt32(archive, 0, 0), 4, 0), "unpacked_zero"));
    ExpectInvalidArchive(RunInstaller(SetInt32(archive, 0, -20), "unpacked_negative"));
    ExpectInvalidArchive(RunInstaller(SetInt32(archive, 4, -1), "stored_negative"));
    ExpectInvalidArchive(RunInstaller(SetInt32(archive, 4, 21), "stored_past_end"));
    ExpectInvalidArchive(RunInstaller(SetInt32(archive, 0, 0x7FFFFFFF), "unpacked_huge"));
}

TEST(Loading, TruncatedHeaderIsRefused) {
    Bytes archive = MakeStoredArchive(kWorkedExampleStream);
    archive.resize(6);
    ExpectInvalidArchive(RunInstaller(archive, "truncated_header"));
}

// Its own path may hold characters that the ANSI code page lacks (Wine's here
// is a Western one): the installer still finds and opens its file.
TEST(Loading, InstallerInAFolderNamedOutsideTheCodePageInstalls) {
    for (const char* folder : {"\u0395\u03bb\u03ad\u03bd\u03b7", "\u674e\u660e"}) {   // Greek and Chinese names
        SCOPED_TRACE(folder);
        std::string scratch = FreshScratch(std::string("folder_") + folder) + "/Downloads";
        fs::create_directories(scratch);
        InstallerRun run = RunInstallerFile(WriteInstaller(scratch, MakeStoredArchive(kWorkedExampleStream)), scratch);
        EXPECT_EQ(run.exitCode, 0) << run.log;
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(ReadFileText(scratch + "/a.txt"), "abc");
    }
}
