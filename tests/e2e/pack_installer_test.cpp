// Installers made by sfxpack, run under Wine: the installer recreates the
// packed tree byte for byte at every level, names in the ANSI code page
// included, under a relative or an absolute target directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

std::string Noise(size_t size, uint32_t seed) {
    std::string bytes(size, 0);
    for (char& byte : bytes) byte = char((seed = seed * 1103515245 + 12345) >> 23);
    return bytes;
}

void MakeTree(const std::string& root) {
    fs::create_directories(root + "/bin/plugins");
    fs::create_directories(root + "/empty dir");
    std::string manual;
    for (int line = 0; line < 2000; ++line) manual += "Chapter " + std::to_string(line % 40) + ": how to use it\r\n";
    WriteFileBytes(root + "/readme.txt", Bytes{'h', 'i', '\r', '\n'});
    WriteFileBytes(root + "/bin/manual.txt", Bytes(manual.begin(), manual.end()));
    std::string noise = Noise(70000, 3);
    WriteFileBytes(root + "/bin/plugins/data.bin", Bytes(noise.begin(), noise.end()));
    WriteFileBytes(root + "/bin/empty.cfg", {});
    WriteFileBytes(root + "/caf\xC3\xA9 cr\xC3\xA8me.txt", Bytes{'1', '2', '3'});   // written as Windows-1252
}

// Every path below root with its contents; directories end with '/'.
std::map<std::string, Bytes> Snapshot(const std::string& root) {
    std::map<std::string, Bytes> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        std::string relative = fs::relative(entry.path(), root).string();
        files[entry.is_directory() ? relative + "/" : relative] =
            entry.is_directory() ? Bytes() : ReadFileBytes(entry.path().string());
    }
    return files;
}

// A fresh scratch with the probe ready: the tree to pack, and the Downloads
// folder the installer is started in, among the user's own files.
struct Folders {
    std::string scratch, tree, downloads;
};

Folders PrepareFolders(const std::string& testName) {
    PrepareProbe();
    Folders folders;
    folders.scratch = FreshScratch(testName);
    folders.tree = folders.scratch + "/tree";
    folders.downloads = folders.scratch + "/downloads";
    fs::create_directories(folders.tree);
    fs::create_directories(folders.downloads);
    return folders;
}

}   // namespace

TEST(PackInstaller, EveryLevelInstallsTheTreeByteForByte) {
    for (const char* level : {"store", "fast", "best"}) {
        std::string scratch = FreshScratch(std::string("pack_level_") + level);
        std::string tree = scratch + "/tree", out = scratch + "/out", installer = scratch + "/setup.exe";
        MakeTree(tree);
        fs::create_directories(out);
        ASSERT_EQ(RunPack({"create", tree, "-o", installer, "--level", level}, scratch + "/pack.log"), 0)
            << ReadFileText(scratch + "/pack.log");
        InstallerRun run = RunInstallerFile(installer, out);
        EXPECT_EQ(run.exitCode, 0) << level << "\n" << run.log;
        EXPECT_TRUE(run.boxes.empty()) << level;
        EXPECT_EQ(Snapshot(out), Snapshot(tree)) << level;
    }
}

TEST(PackInstaller, AbsoluteTargetIsCreatedWithItsChain) {
    std::string scratch = FreshScratch("pack_absolute");
    std::string tree = scratch + "/tree", installer = scratch + "/setup.exe";
    MakeTree(tree);
    std::string target = DriveC() + "/e2e/pack_absolute/Program Files/Sample App";
    ASSERT_FALSE(Exists(target));
    ASSERT_EQ(RunPack({"create", tree, "-o", installer, "--target", WindowsPath(target)}, scratch + "/pack.log"), 0)
        << ReadFileText(scratch + "/pack.log");
    InstallerRun run = RunInstallerFile(installer, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    ASSERT_TRUE(Exists(target));
    EXPECT_EQ(Snapshot(target), Snapshot(tree));
}

TEST(PackInstaller, RelativeTargetIsCreatedBelowTheWorkingDirectory) {
    std::string scratch = FreshScratch("pack_relative");
    std::string tree = scratch + "/tree", out = scratch + "/out", installer = scratch + "/setup.exe";
    MakeTree(tree);
    fs::create_directories(out);
    ASSERT_EQ(RunPack({"create", tree, "-o", installer, "--target", "Apps\\Sample"}, scratch + "/pack.log"), 0)
        << ReadFileText(scratch + "/pack.log");
    InstallerRun run = RunInstallerFile(installer, out);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    ASSERT_TRUE(Exists(out + "/Apps/Sample"));
    EXPECT_EQ(Snapshot(out + "/Apps/Sample"), Snapshot(tree));
}

// The probe (see probe/probe.cpp) stands in for the command.
static const std::string PROBE_COMMAND = std::string("\"") + kProbeWindowsPath + "\" report C:\\e2e\\out\\run.txt";

TEST(PackInstaller, ShortcutModeGetsTheValuesInTheCodePage) {
    PrepareProbe();
    std::string scratch = FreshScratch("pack_shortcut");
    std::string tree = scratch + "/tree", installer = scratch + "/setup.exe";
    MakeTree(tree);
    std::string target = WindowsPath(scratch) + "\\Caf\xC3\xA9 App\\";
    std::string file = DesktopDirectory() + "/Caf\xC3\xA9.lnk";
    fs::remove(file);
    ASSERT_EQ(RunPack({"create", tree, "-o", installer, "--target", target, "--shortcut", target + "readme.txt",
                       "--name", "Caf\xC3\xA9", "--icon", target + "readme.txt", "--run", PROBE_COMMAND},
                      scratch + "/pack.log"),
              0)
        << ReadFileText(scratch + "/pack.log");
    InstallerRun run = RunInstallerFile(installer, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "Instalacija gotova!");

    std::string ansiTarget = WindowsPath(scratch) + "\\Caf\xE9 App\\";
    ShellLink link = ReadShellLink(file);
    fs::remove(file);
    EXPECT_EQ(link.workingDirectory, ansiTarget);
    EXPECT_EQ(link.target, ansiTarget + "readme.txt");
    EXPECT_EQ(link.iconLocation, ansiTarget + "readme.txt");
    EXPECT_EQ(link.description, "Caf\xE9");
    // The command, quoted to take arguments, starts in the target directory.
    ASSERT_TRUE(WaitForFile(ProbeOut() + "/run.txt", kStartedProgramPatienceMs));
    EXPECT_NE(ReadFileText(ProbeOut() + "/run.txt").find("cwd=" + ansiTarget.substr(0, ansiTarget.size() - 1) + "\n"),
              std::string::npos);
    EXPECT_EQ(Snapshot(scratch + "/Caf\xC3\xA9 App"), Snapshot(tree));
}

TEST(PackInstaller, TemporaryRunRemovesThePackedFilesAfterTheCommand) {
    PrepareProbe();
    std::string scratch = FreshScratch("pack_temp_run");
    std::string tree = scratch + "/tree", installer = scratch + "/setup.exe";
    MakeTree(tree);
    ASSERT_EQ(RunPack({"create", tree, "-o", installer, "--target", WindowsPath(scratch) + "\\app", "--temp-run",
                       PROBE_COMMAND},
                      scratch + "/pack.log"),
              0)
        << ReadFileText(scratch + "/pack.log");
    InstallerRun run = RunInstallerFile(installer, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(run.boxes.empty());
    // While the command ran, the tree was there; afterwards none of its files are.
    std::string report = ReadFileText(ProbeOut() + "/run.txt");
    EXPECT_NE(report.find("\\app\\bin\\plugins\\data.bin\r\n"), std::string::npos) << report;
    std::map<std::string, Bytes> left =
        Exists(scratch + "/app") ? Snapshot(scratch + "/app") : std::map<std::string, Bytes>();
    for (const auto& entry : left) EXPECT_EQ(entry.first.back(), '/') << entry.first;
}

// A temporary run made without --target extracts into a new .\setup.tmp\: a
// packed readme.txt never lands on the user's own one beside the installer.
// Its relative command is in the target, wherever the installer is started.
TEST(PackInstaller, TemporaryRunDefaultsToANewDirectoryAndFindsItsCommand) {
    struct Case {
        const char* name;
        bool absoluteTarget;
    };
    for (const Case& c : {Case{"default", false}, Case{"absolute", true}}) {
        SCOPED_TRACE(c.name);
        Folders folders = PrepareFolders(std::string("pack_temp_target_") + c.name);
        const std::string &scratch = folders.scratch, &tree = folders.tree, &downloads = folders.downloads;
        std::string installer = downloads + "/setup.exe";
        fs::create_directories(tree + "/bin");
        fs::copy_file(SFX_PROBE_PATH, tree + "/bin/probe.exe");
        WriteFileBytes(tree + "/readme.txt", Bytes{'n', 'e', 'w'});
        WriteFileBytes(downloads + "/readme.txt", Bytes{'m', 'i', 'n', 'e'});
        std::vector<std::string> arguments = {
            "create",  tree,    "-o",         installer,
            "--level", "store", "--temp-run", "\"bin\\probe.exe\" report C:\\e2e\\out\\run.txt"};
        std::string target = scratch + "/Program Files/Tool";
        if (c.absoluteTarget) arguments.insert(arguments.end(), {"--target", WindowsPath(target)});
        ASSERT_EQ(RunPack(arguments, scratch + "/pack.log"), 0) << ReadFileText(scratch + "/pack.log");
        InstallerRun run = RunInstallerFile(installer, downloads);
        EXPECT_EQ(run.exitCode, 0) << run.log;
        ASSERT_TRUE(Exists(ProbeOut() + "/run.txt"));   // the relative command ran, from the target
        std::string report = ReadFileText(ProbeOut() + "/run.txt");
        std::string expected = c.absoluteTarget ? WindowsPath(target) : ".\\setup.tmp";
        EXPECT_NE(report.find(expected + "\\readme.txt\r\n"), std::string::npos) << report;
        EXPECT_EQ(ReadFileText(downloads + "/readme.txt"), "mine");
        EXPECT_FALSE(Exists(downloads + "/setup.tmp"));
        EXPECT_TRUE(Exists(installer));
    }
}

// Windows looks for a program named without a folder beside the installer
// first, whatever working directory it is given: a relative line 4 would start
// an app.exe planted in Downloads. sfxpack writes the target in front of a
// relative --run, so the installed one starts; verify fails the other.
TEST(PackInstaller, RelativeRunStartsTheInstalledProgramNotAPlantedOne) {
    const std::string command = "\"app.exe\" report C:\\e2e\\out\\run.txt";
    for (bool madeBySfxpack : {false, true}) {
        std::string name = madeBySfxpack ? "sfxpack" : "crafted";
        SCOPED_TRACE(name);
        Folders folders = PrepareFolders("pack_planted_run_" + name);
        std::string scratch = folders.scratch, tree = folders.tree, downloads = folders.downloads;
        std::string target = WindowsPath(scratch) + "\\App1\\";
        fs::copy_file(SFX_PROBE_PATH, tree + "/app.exe");
        fs::copy_file(SFX_PROBE_PATH, downloads + "/app.exe");   // planted beside the installer
        std::string installer = downloads + "/installer.exe";
        if (madeBySfxpack) {
            ASSERT_EQ(RunPack({"create", tree, "-o", installer, "--target", target, "--shortcut", target + "app.exe",
                               "--name", "App1", "--run", command},
                              scratch + "/pack.log"),
                      0)
                << ReadFileText(scratch + "/pack.log");
        } else {
            Bytes probe = ReadFileBytes(SFX_PROBE_PATH);
            std::vector<EntrySpec> entries = {FileEntry("app.exe", std::string(probe.begin(), probe.end())),
                                              ControlFileEntry(target + "app.exe", "App1", "", command)};
            WriteInstaller(downloads, MakeStoredArchive(MakeEntryStream(target, entries)));
        }
        int verified = RunPack({"verify", installer}, scratch + "/verify.log");
        EXPECT_EQ(verified, madeBySfxpack ? 0 : 1) << ReadFileText(scratch + "/verify.log");
        if (!madeBySfxpack)
            EXPECT_NE(ReadFileText(scratch + "/verify.log")
                          .find("the control file's command '" + command +
                                "' is a relative path outside the target: Windows would look for its program beside "
                                "the installer"),
                      std::string::npos)
                << ReadFileText(scratch + "/verify.log");

        InstallerRun run = RunInstallerFile(installer, downloads);
        EXPECT_EQ(run.exitCode, 0) << run.log;
        ASSERT_TRUE(WaitForFile(ProbeOut() + "/run.txt", kStartedProgramPatienceMs));
        std::string report = ReadFileText(ProbeOut() + "/run.txt");
        std::string started = madeBySfxpack ? target + "app.exe" : WindowsPath(downloads) + "\\app.exe";
        EXPECT_NE(report.find("exe=" + started + "\n"), std::string::npos) << report;
    }
}
