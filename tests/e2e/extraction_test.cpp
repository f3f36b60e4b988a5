// The installer recreates the archive's tree under its target directory and
// records every entry in the extraction list; damaged or unsafe entries end
// the run with the error box, leaving what came before them.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness.h"

namespace fs = std::filesystem;

// Runs the stream as the target's own test, expecting a completed run.
static InstallerRun RunCompleted(const Bytes& stream, const std::string& name) {
    InstallerRun run = RunInstaller(MakeStoredArchive(stream), name);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(run.boxes.empty());
    return run;
}

TEST(Extraction, AbsoluteTargetCreatesEveryMissingLevelOfItsChain) {
    std::string scratch = FreshScratch("target_chain");
    std::string target = WindowsPath(scratch) + "\\A\\B\\";
    Bytes stream = MakeEntryStream(target, {FileEntry("f.txt", "in B")});
    InstallerRun run = RunInstaller(MakeStoredArchive(stream), "target_chain");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_EQ(ReadFileText(run.scratch + "/A/B/f.txt"), "in B");
}

TEST(Extraction, DirectoriesFilesAndEmptyFilesInStreamOrder) {
    Bytes stream = MakeEntryStream(".\\", {DirectoryEntry("sub\\"), FileEntry("sub\\x.txt", "x data"),
                                           DirectoryEntry("sub\\deeper"), FileEntry("empty.txt", ""),
                                           FileEntry("top.bin", std::string("\0\1\2\3", 4))});
    InstallerRun run = RunCompleted(stream, "tree");
    EXPECT_TRUE(fs::is_directory(run.scratch + "/sub/deeper"));
    EXPECT_EQ(ReadFileText(run.scratch + "/sub/x.txt"), "x data");
    EXPECT_TRUE(Exists(run.scratch + "/empty.txt"));
    EXPECT_EQ(fs::file_size(run.scratch + "/empty.txt"), 0u);
    EXPECT_EQ(ReadFileText(run.scratch + "/top.bin"), std::string("\0\1\2\3", 4));
}

TEST(Extraction, FileBeforeItsDirectoryEntryFailsSilently) {
    Bytes stream = MakeEntryStream(".\\", {FileEntry("late\\x.txt", "x"), DirectoryEntry("late\\")});
    InstallerRun run = RunCompleted(stream, "late_directory");
    EXPECT_TRUE(fs::is_directory(run.scratch + "/late"));
    EXPECT_FALSE(Exists(run.scratch + "/late/x.txt"));
}

TEST(Extraction, ExistingFileIsTruncatedAndOverwritten) {
    std::string scratch = FreshScratch("overwrite");
    std::string target = WindowsPath(scratch) + "\\app\\";
    fs::create_directories(scratch + "/app");
    WriteFileBytes(scratch + "/app/a.txt", Bytes(100, 'z'));
    Bytes archive = MakeStoredArchive(MakeEntryStream(target, {FileEntry("a.txt", "abc")}));
    InstallerRun run = RunInstallerFile(WriteInstaller(scratch, archive), scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(ReadFileText(scratch + "/app/a.txt"), "abc");
}

TEST(Extraction, StreamMayEndWithoutTheEndCode) {
    Bytes stream = MakeEntryStream(".\\", {FileEntry("a.txt", "abc")}, /*withEnd=*/false);
    InstallerRun run = RunCompleted(stream, "no_end_code");
    EXPECT_EQ(ReadFileText(run.scratch + "/a.txt"), "abc");
}

TEST(Extraction, SizeCodeBelowMinusTwoKeepsEarlierEntriesAndFails) {
    Bytes stream = MakeEntryStream(".\\", {FileEntry("a.txt", "abc"), {"b.txt", -3, ""}, FileEntry("c.txt", "c")});
    InstallerRun run = RunInstaller(MakeStoredArchive(stream), "size_code_minus_3");
    ExpectInvalidArchive(run);
    EXPECT_EQ(ReadFileText(run.scratch + "/a.txt"), "abc");
    EXPECT_FALSE(Exists(run.scratch + "/b.txt"));
    EXPECT_FALSE(Exists(run.scratch + "/c.txt"));
}

// Names that leave the target, or that Windows reads as another name (it
// drops trailing dots and spaces: "sub\.. " is the target itself). Listed
// and removed in the temporary-run mode, such names would purge the target or
// the installer's folder: the run ends before that, and removes nothing.
TEST(Extraction, NamesLeavingTheTargetOrEndingInADotOrSpaceAreRefused) {
    const char* const unsafeNames[] = {"..\\escaped.txt",
                                       "sub\\..\\..\\escaped.txt",
                                       "../escaped.txt",
                                       "\\escaped.txt",
                                       "/escaped.txt",
                                       "C:escaped.txt",
                                       "a.txt:stream",
                                       "sub\\..",
                                       ".",
                                       ".\\",
                                       "sub\\.. ",
                                       "a. "};
    PrepareProbe();
    std::string removal = std::string("\"") + kProbeWindowsPath + "\" report C:\\e2e\\out\\run.txt";
    int index = 0;
    for (const char* name : unsafeNames) {
        SCOPED_TRACE(name);
        std::string test = "unsafe_name_" + std::to_string(index++);
        std::string scratch = FreshScratch(test);
        std::string target = WindowsPath(scratch) + "\\app\\";
        Bytes stream = MakeEntryStream(target, {ControlFileEntry("", "", "", removal), DirectoryEntry("sub\\"),
                                                FileEntry("first.txt", "1"), FileEntry(name, "bad")});
        InstallerRun run = RunInstaller(MakeStoredArchive(stream), test);
        ExpectInvalidArchive(run);
        EXPECT_EQ(ReadFileText(scratch + "/app/first.txt"), "1");
        EXPECT_TRUE(Exists(scratch + "/installer.exe"));
        EXPECT_FALSE(Exists(scratch + "/escaped.txt"));
        EXPECT_FALSE(Exists(scratch + "/app/escaped.txt"));
    }
}

TEST(Extraction, DotsThatStayInsideAreAccepted) {
    Bytes stream = MakeEntryStream(".\\", {FileEntry("..name.txt", "1"), FileEntry("a..b", "2")});
    InstallerRun run = RunCompleted(stream, "inner_dots");
    EXPECT_EQ(ReadFileText(run.scratch + "/..name.txt"), "1");
    EXPECT_EQ(ReadFileText(run.scratch + "/a..b"), "2");
}

TEST(Extraction, EntriesRunningPastTheStreamAreRefusedWhereFound) {
    // File data longer than what is left.
    Bytes stream = MakeEntryStream(".\\", {FileEntry("a.txt", "abc"), {"long.bin", 50, "short"}}, false);
    InstallerRun run = RunInstaller(MakeStoredArchive(stream), "data_past_end");
    ExpectInvalidArchive(run);
    EXPECT_EQ(ReadFileText(run.scratch + "/a.txt"), "abc");
    EXPECT_FALSE(Exists(run.scratch + "/long.bin"));

    // A name without its NUL.
    stream = MakeEntryStream(".\\", {FileEntry("a.txt", "abc")}, false);
    Bytes tail = {0x05, 0, 0, 0, 'n', 'a', 'm', 'e'};
    stream.insert(stream.end(), tail.begin(), tail.end());
    ExpectInvalidArchive(RunInstaller(MakeStoredArchive(stream), "name_past_end"));

    // Half a size code.
    stream = MakeEntryStream(".\\", {FileEntry("a.txt", "abc")}, false);
    stream.push_back(0xFF);
    stream.push_back(0xFF);
    ExpectInvalidArchive(RunInstaller(MakeStoredArchive(stream), "size_code_past_end"));

    // A target directory without its NUL.
    ExpectInvalidArchive(RunInstaller(MakeStoredArchive(Bytes{'.', '\\'}), "target_past_end"));
}
