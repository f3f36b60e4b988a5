// The installer recreates the archive's tree under its target directory and
// records every entry in the extraction list; damaged or unsafe entries end
// the run with the error box before anything is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

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

// An entry that is not on disk as the archive says fails the installation:
// one box, exit code 1, and nothing of the completion, although the control
// file came first: no shortcut's completion box, which the program's start
// would follow.
TEST(Extraction, EntryNotWrittenAsTheArchiveSaysFailsTheInstallation) {
    struct FailureCase {
        const char* name;
        std::vector<std::string> files, directories;   // there before the run, below the scratch directory
        const char* held;                              // one of the files, held open by another process
        std::vector<EntrySpec> entries;
    };
    const FailureCase cases[] = {
        {"file_in_the_way_of_the_target", {"app"}, {}, nullptr, {FileEntry("a.txt", "a")}},
        {"directory_in_the_way_of_a_file", {}, {"app/a.txt"}, nullptr, {FileEntry("a.txt", "a")}},
        {"file_in_use", {"app/a.txt"}, {}, "app/a.txt", {FileEntry("a.txt", "a")}},
        {"file_before_its_directory", {}, {}, nullptr, {FileEntry("late\\x.txt", "x"), DirectoryEntry("late\\")}},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        PrepareProbe();
        std::string scratch = FreshScratch(std::string("failure_") + c.name);
        for (const std::string& directory : c.directories) fs::create_directories(scratch + "/" + directory);
        for (const std::string& file : c.files) {
            fs::create_directories(fs::path(scratch + "/" + file).parent_path());
            WriteFileBytes(scratch + "/" + file, {'m', 'i', 'n', 'e'});
        }
        std::unique_ptr<HeldFile> held(c.held ? new HeldFile(scratch + "/" + c.held) : nullptr);
        if (held) ASSERT_TRUE(held->held());
        std::string target = WindowsPath(scratch) + "\\app\\";
        std::vector<EntrySpec> entries = {ControlFileEntry(target + "a.txt", "Failed", "", kProbeWindowsPath)};
        entries.insert(entries.end(), c.entries.begin(), c.entries.end());
        Bytes archive = MakeStoredArchive(MakeEntryStream(target, entries));
        InstallerRun run = RunInstallerFile(WriteInstaller(scratch, archive), scratch);
        held.reset();
        ExpectInstallFailed(run);
        for (const std::string& file : c.files) EXPECT_EQ(ReadFileText(scratch + "/" + file), "mine");
    }
}

// Whatever has an entry's name is removed and the file made afresh, so a
// hard link loses only that name; a link among an entry's folders fails the
// installation. The target is the installer's folder, where anyone may have
// planted them. (Wine shows a Unix link to a file as the file itself, and
// deletes what it points to: a link in a file's place is not tried here.)
TEST(Extraction, NothingIsWrittenThroughALink) {
    for (bool hardLink : {true, false}) {
        SCOPED_TRACE(hardLink ? "a hard link under the entry's name" : "a link in place of the entry's folder");
        std::string scratch = FreshScratch("links");
        fs::create_directories(scratch + "/user");
        WriteFileBytes(scratch + "/user/thesis.doc", {'m', 'i', 'n', 'e'});
        if (hardLink) fs::create_hard_link(scratch + "/user/thesis.doc", scratch + "/readme.txt");
        else fs::create_directory_symlink(scratch + "/user", scratch + "/docs");
        std::string entry = hardLink ? "readme.txt" : "docs\\readme.txt";
        Bytes archive = MakeStoredArchive(MakeEntryStream(".\\", {FileEntry(entry, "packed")}));
        InstallerRun run = RunInstallerFile(WriteInstaller(scratch, archive), scratch);
        EXPECT_EQ(ReadFileText(scratch + "/user/thesis.doc"), "mine");
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch + "/user"), fs::directory_iterator()), 1);
        if (hardLink) {
            EXPECT_EQ(run.exitCode, 0) << run.log;
            EXPECT_EQ(ReadFileText(scratch + "/readme.txt"), "packed");
        } else {
            ExpectInstallFailed(run);
        }
    }
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

// The whole stream is checked before anything is written.
TEST(Extraction, SizeCodeBelowMinusTwoFailsBeforeAnythingIsWritten) {
    Bytes stream = MakeEntryStream(".\\", {FileEntry("a.txt", "abc"), {"b.txt", -3, ""}, FileEntry("c.txt", "c")});
    InstallerRun run = RunInstaller(MakeStoredArchive(stream), "size_code_minus_3");
    ExpectInvalidArchive(run);
    EXPECT_FALSE(Exists(run.scratch + "/a.txt"));
    EXPECT_FALSE(Exists(run.scratch + "/b.txt"));
    EXPECT_FALSE(Exists(run.scratch + "/c.txt"));
}

// Names that leave the target, or that Windows reads as another name (it
// drops trailing dots and spaces: "sub\.. " is the target itself). Listed
// and removed in the temporary-run mode, such names would purge the target or
// the installer's folder: the run ends before anything is written.
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
        EXPECT_FALSE(Exists(scratch + "/app"));
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

TEST(Extraction, EntriesRunningPastTheStreamAreRefused) {
    // File data longer than what is left.
    Bytes stream = MakeEntryStream(".\\", {FileEntry("a.txt", "abc"), {"long.bin", 50, "short"}}, false);
    InstallerRun run = RunInstaller(MakeStoredArchive(stream), "data_past_end");
    ExpectInvalidArchive(run);
    EXPECT_FALSE(Exists(run.scratch + "/a.txt"));
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
