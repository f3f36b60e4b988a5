// Bad input: each gets a message naming what is wrong, exit code 1 (2 for a
// wrong command line), and no installer, not even a partial one.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../pack_testing.h"

namespace {

struct Inputs {
    std::string scratch, tree, stub, outDirectory, output;
};

Inputs MakeInputs(const std::string& label) {
    Inputs setup;
    setup.scratch = MakeScratch(label);
    setup.tree = setup.scratch + "/tree";
    setup.stub = setup.scratch + "/stub.exe";
    setup.outDirectory = setup.scratch + "/out";
    setup.output = setup.outDirectory + "/setup.exe";
    mkdir(setup.tree.c_str(), 0755);
    mkdir(setup.outDirectory.c_str(), 0777);
    chmod(setup.outDirectory.c_str(), 0777);
    WriteFile(setup.tree + "/ok.txt", "fine");
    WriteBytes(setup.stub, FakeStub());
    return setup;
}

ProgramRun Create(const Inputs& setup, std::vector<std::string> options = {}, uid_t asUser = 0) {
    std::vector<std::string> arguments = {"create", setup.tree, "-o", setup.output, "--stub", setup.stub};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return RunPack(arguments, asUser);
}

// The message holds every one of the words; the output directory stays empty.
void ExpectRefused(const Inputs& setup, const ProgramRun& run, int exitCode, std::vector<std::string> words) {
    EXPECT_EQ(run.exitCode, exitCode) << run.err;
    EXPECT_EQ(run.err.compare(0, 9, "sfxpack: "), 0) << run.err;
    for (const std::string& word : words)
        EXPECT_NE(run.err.find(word), std::string::npos) << "'" << word << "' in: " << run.err;
    EXPECT_TRUE(ListTree(setup.outDirectory).empty()) << "an output was left behind";
}

// Wine runs only as its prefix's owner: as root, who reads every file, it cannot
// show what an unreadable file does.
bool NoPermissionStopsWine() { return PackRunsUnderWine() && UnprivilegedUser(); }
const char* const WINE_RUNS_AS_ROOT = "Wine runs as root here, the prefix's owner, whom no permission stops";

}   // namespace

TEST(CliBadInput, MissingOrWrongKindOfDirectory) {
    Inputs setup = MakeInputs("dir");
    ExpectRefused(setup, RunPack({"create", setup.scratch + "/nope", "-o", setup.output, "--stub", setup.stub}), 1,
                  {setup.scratch + "/nope: " + MissingFileText()});
    ExpectRefused(setup, RunPack({"create", setup.stub, "-o", setup.output, "--stub", setup.stub}), 1,
                  {setup.stub + ": is not a directory"});
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, UnreadableDirectoryOrFile) {
    if (NoPermissionStopsWine()) GTEST_SKIP() << WINE_RUNS_AS_ROOT;
    Inputs setup = MakeInputs("unreadable");
    mkdir((setup.tree + "/locked").c_str(), 0000);
    chmod((setup.tree + "/locked").c_str(), 0000);
    ExpectRefused(setup, Create(setup, {}, UnprivilegedUser()), 1,
                  {setup.tree + "/locked: cannot open the directory: " + AccessDeniedText()});
    rmdir((setup.tree + "/locked").c_str());
    WriteFile(setup.tree + "/secret.txt", "no");
    chmod((setup.tree + "/secret.txt").c_str(), 0000);
    ExpectRefused(setup, Create(setup, {}, UnprivilegedUser()), 1, {setup.tree + "/secret.txt: cannot open"});
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, NamesWindowsOrTheCodePageCannotHold) {
    struct Case {
        std::string name;
        std::vector<std::string> options;
        std::string words;
        bool windowsHasIt;   // the others are Linux names only: Windows cannot even open them
        std::string shown;   // as the message shows it, control characters and bytes that are no UTF-8 escaped
    };
    const Case cases[] = {
        {"\xE4\xB8\xAD.txt", {}, "cannot be written in code page WINDOWS-1252", true, "\xE4\xB8\xAD.txt"},
        {"\xCE\xB1.txt", {"--codepage", "CP1250"}, "cannot be written in code page CP1250", true, "\xCE\xB1.txt"},
        {"what?.txt", {}, "holds '?', which Windows forbids", false, "what?.txt"},
        {"a\\b.txt", {}, "holds '\\', which Windows forbids", false, "a\\b.txt"},
        {"nul.txt", {}, "a device name that Windows reserves", false, "nul.txt"},
        {"trailing.", {}, "ends with a space or a dot", false, "trailing."},
        {"tab\there", {}, "control character", false, "tab\\x09here"},
        {"bad\xFFutf8", {}, "not valid UTF-8", false, "bad\\xffutf8"},
    };
    for (const Case& c : cases) {
        if (PackRunsUnderWine() && !c.windowsHasIt) continue;
        Inputs setup = MakeInputs("names");
        WriteFile(setup.tree + "/" + c.name, "x");
        ExpectRefused(setup, Create(setup, c.options), 1, {setup.tree + "/" + c.shown + ": ", c.words});
        RemoveTree(setup.scratch);
    }
}

TEST(CliBadInput, InstalledPathOverTheWindowsLimit) {
    Inputs setup = MakeInputs("long");
    std::string target = "C:\\" + std::string(240, 'p');
    WriteFile(setup.tree + "/" + std::string(20, 'n'), "x");   // 3 + 240 + 1 + 20 = 264
    ExpectRefused(setup, Create(setup, {"--target", target}), 1,
                  {setup.tree + "/" + std::string(20, 'n'), "264 characters long; Windows allows 259"});
    ExpectRefused(setup, Create(setup, {"--target", "C:\\" + std::string(250, 'p')}), 1, {"--target", "too long"});
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, SizesOverWhatTheArchiveHolds) {
    Inputs setup = MakeInputs("huge");
    // Sparse files: refused from their size alone, before anything is read.
    WriteFile(setup.tree + "/big.bin", "");
    ASSERT_EQ(truncate((setup.tree + "/big.bin").c_str(), 0x80000000LL), 0);
    ExpectRefused(setup, Create(setup), 1, {setup.tree + "/big.bin: the file holds 2147483648 bytes"});
    ASSERT_EQ(truncate((setup.tree + "/big.bin").c_str(), 0x48000000LL), 0);
    WriteFile(setup.tree + "/big2.bin", "");
    ASSERT_EQ(truncate((setup.tree + "/big2.bin").c_str(), 0x48000000LL), 0);
    ExpectRefused(setup, Create(setup), 1, {setup.tree + ": the installer would hold", "at most 2147483647"});
    RemoveTree(setup.scratch);
}

// What the installer could load nowhere is refused before anything is read;
// what loads on 64-bit Windows only is made, with a warning that verify repeats.
TEST(CliBadInput, PayloadsTooLargeToLoad) {
    Inputs setup = MakeInputs("load");
    WriteFile(setup.tree + "/big.bin", "");
    ASSERT_EQ(truncate((setup.tree + "/big.bin").c_str(), 2047LL << 20), 0);
    ExpectRefused(setup, Create(setup, {"--level", "store", "--quiet"}), 1,
                  {setup.tree + ": the installer needs 2047.0 MiB", "in one allocation", "at most 2047 MiB"});
    ASSERT_EQ(truncate((setup.tree + "/big.bin").c_str(), 513LL << 20), 0);
    ProgramRun created = Create(setup, {"--level", "store", "--quiet"});
    EXPECT_EQ(created.exitCode, 0) << created.err;
    const std::string warning = "the installer needs 513.0 MiB of memory to load (the stored entry stream, in one "
                                "allocation), so it loads on 64-bit Windows only: 32-bit Windows gives one "
                                "allocation at most 512 MiB";
    EXPECT_NE(created.err.find("warning: " + setup.output + ": " + warning), std::string::npos) << created.err;
    ProgramRun verified = RunPack({"verify", "--quiet", setup.output});
    EXPECT_EQ(verified.exitCode, 0) << verified.err;
    EXPECT_NE(verified.err.find(warning), std::string::npos) << verified.err;
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, SymbolicLinksUnlessFollowed) {
    if (PackRunsUnderWine()) GTEST_SKIP() << "Wine shows a Unix symbolic link as what it points to, not as a link";
    Inputs setup = MakeInputs("links");
    ASSERT_EQ(symlink("ok.txt", (setup.tree + "/link.txt").c_str()), 0);
    ExpectRefused(setup, Create(setup), 1, {setup.tree + "/link.txt: is a symbolic link", "--follow-links"});
    ProgramRun followed = Create(setup, {"--follow-links"});
    EXPECT_EQ(followed.exitCode, 0) << followed.err;
    EXPECT_NE(RunPack({"list", setup.output}).out.find("           4  link.txt"), std::string::npos);
    unlink(setup.output.c_str());
    // A file whose size is not its bytes: /proc's say 0.
    ASSERT_EQ(symlink("/proc/version", (setup.tree + "/version.txt").c_str()), 0);
    ExpectRefused(setup, Create(setup, {"--follow-links"}), 1,
                  {setup.tree + "/version.txt: reading it gives more bytes than its size, 0"});
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, ControlValuesThatWouldBreakTheScript) {
    Inputs setup = MakeInputs("control");
    ExpectRefused(setup, Create(setup, {"--shortcut", "C:\\a.exe", "--name", "The \"best\" app"}), 1,
                  {"--name 'The \"best\" app'", "double quote"});
    ExpectRefused(setup, Create(setup, {"--shortcut", "C:\\a.exe", "--name", "n", "--run", "a\nb"}), 1,
                  {"--run", "line break"});
    ExpectRefused(setup, Create(setup, {"--temp-run", "x\r"}), 1, {"--temp-run", "line break"});
    ExpectRefused(setup, Create(setup, {"--shortcut", "C:\\a.exe", "--name", "a:b"}), 1, {"--name 'a:b'"});
    ExpectRefused(setup, Create(setup, {"--shortcut", "C:\\\xE4\xB8\xAD.exe", "--name", "n"}), 1,
                  {"cannot be written in code page"});
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, StubThatCannotBeOne) {
    Inputs setup = MakeInputs("stub");
    WriteFile(setup.stub, "MZ too short");
    ExpectRefused(setup, Create(setup), 1, {"stub " + setup.stub + ": is 12 bytes; a stub is exactly 11264"});
    WriteBytes(setup.stub, Bytes(STUB_SIZE, 0));
    ExpectRefused(setup, Create(setup), 1, {"stub " + setup.stub, "no MZ header"});
    ExpectRefused(setup, Create(setup, {"--stub", setup.scratch + "/none.exe"}), 1,
                  {"stub " + setup.scratch + "/none.exe: " + MissingFileText()});
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, OutputThatIsADirectoryOrHasNoDirectory) {
    Inputs setup = MakeInputs("output");
    mkdir(setup.output.c_str(), 0755);
    ProgramRun run = Create(setup);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(setup.output + ": is a directory"), std::string::npos) << run.err;
    EXPECT_TRUE(ListTree(setup.output).empty());
    rmdir(setup.output.c_str());
    ExpectRefused(setup,
                  RunPack({"create", setup.tree, "-o", setup.outDirectory + "/no/setup.exe", "--stub", setup.stub}), 1,
                  {setup.outDirectory + "/no/setup.exe: its directory does not exist"});
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, FailedWriteLeavesTheOldFileAndNoTemporary) {
    if (NoPermissionStopsWine()) GTEST_SKIP() << WINE_RUNS_AS_ROOT;
    Inputs setup = MakeInputs("write");
    WriteFile(setup.output, "previous installer");
    chmod(setup.outDirectory.c_str(), 0555);   // no new file can be made beside it
    ProgramRun run = Create(setup, {}, UnprivilegedUser());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(setup.output + ": cannot create a file beside it"), std::string::npos) << run.err;
    EXPECT_EQ(ListTree(setup.outDirectory), std::vector<std::string>{"setup.exe"});
    Bytes kept = ReadBytes(setup.output);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous installer");
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, TargetDirectoryThatWindowsCannotUse) {
    Inputs setup = MakeInputs("target");
    ExpectRefused(setup, Create(setup, {"--target", "C:/Apps"}), 1, {"--target 'C:/Apps\\'", "backslashes"});
    ExpectRefused(setup, Create(setup, {"--target", "C:\\A|B"}), 1, {"'A|B' in the target directory"});
    ExpectRefused(setup, Create(setup, {"--target", ""}), 1, {"--target: the target directory is empty"});
    RemoveTree(setup.scratch);
}

TEST(CliBadInput, WrongCommandLinesAreUsageErrors) {
    Inputs setup = MakeInputs("usage");
    const std::vector<std::vector<std::string>> lines = {
        {},
        {"pack", setup.tree},
        {"create", setup.tree},
        {"create", setup.tree, "-o"},
        {"create", setup.tree, "-o", setup.output, "--level", "max"},
        {"create", setup.tree, "-o", setup.output, "--frobnicate"},
        {"create", setup.tree, "-o", setup.output, "--shortcut", "C:\\a.exe"},
        {"create", setup.tree, "-o", setup.output, "--icon", "a.ico"},
        {"create", setup.tree, "-o", setup.output, "--shortcut", "C:\\a.exe", "--name", "n", "--temp-run", "x"},
        {"create", setup.tree, "-o", setup.output, "--codepage", "NO-SUCH"},
        {"create", setup.tree, "-o", setup.output, "--quiet=yes"},
        {"list"},
        {"list", setup.output, "--target", "C:\\"},
        {"extract", setup.output},
    };
    for (const std::vector<std::string>& line : lines) {
        ProgramRun run = RunPack(line);
        EXPECT_EQ(run.exitCode, 2) << (line.empty() ? "" : line.back()) << ": " << run.err;
        EXPECT_FALSE(PathExists(setup.output));
    }
    ProgramRun help = RunPack({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("sfxpack create DIR -o OUT.exe"), std::string::npos);
    ProgramRun version = RunPack({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.compare(0, 8, "sfxpack "), 0);
    RemoveTree(setup.scratch);
}
