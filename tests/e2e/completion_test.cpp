// How a run ends: no control file, the shortcut mode and the temporary-run
// mode. The probe program stands in for the programs that the control file
// names, and reports what it saw; it is also what opens .vbs files, so a
// script that ran would leave its mark.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "harness.h"

namespace fs = std::filesystem;

struct Installation {
    std::string scratch;   // host path
    std::string target;    // Windows path of scratch/app, ending in a backslash
};

static Installation Prepare(const std::string& test) {
    PrepareProbe();
    Installation installation{FreshScratch(test), ""};
    installation.target = WindowsPath(installation.scratch) + "\\app\\";
    return installation;
}

static std::string ListPath() { return DriveC() + "/raspakiraj.lst"; }

static std::string ProbeCommand(const std::string& arguments) {
    return std::string("\"") + kProbeWindowsPath + "\" report C:\\e2e\\out\\run.txt" + arguments;
}

static InstallerRun Install(const Installation& installation, const std::vector<EntrySpec>& entries,
                            const std::string& test) {
    Bytes stream = MakeEntryStream(installation.target, entries);
    return RunInstaller(MakeStoredArchive(stream), test);
}

TEST(Completion, WithoutControlFileTheRunEndsSilentlyAndDeletesTheList) {
    Installation installation = Prepare("no_control_file");
    InstallerRun run = Install(installation, {FileEntry("a.txt", "abc")}, "no_control_file");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(ReadFileText(installation.scratch + "/app/a.txt"), "abc");
    EXPECT_FALSE(Exists(ListPath()));
}

TEST(Completion, ControlFileOfOneByteCountsAsAbsent) {
    Installation installation = Prepare("one_byte_control_file");
    InstallerRun run = Install(installation, {FileEntry("$$$.$$$", "x")}, "one_byte_control_file");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(ReadFileText(installation.scratch + "/app/$$$.$$$"), "x");
    EXPECT_FALSE(Exists(ListPath()));
}

// No script: the probe, registered as the program that opens .vbs files,
// would leave a mark if one ran. The lines are read without their leading
// spaces (the program's also without its trailing ones).
TEST(Completion, ShortcutModeWritesTheShortcutItselfShowsTheBoxThenStartsTheCommand) {
    Installation installation = Prepare("shortcut_mode");
    const std::string t = installation.target, name = "Sfx Shortcut";
    const std::string program = t + "app.exe", icon = t + "app.ico";
    std::string file = DesktopDirectory() + "/" + name + ".lnk";
    fs::remove(file);
    InstallerRun run =
        Install(installation,
                {FileEntry("app.exe", "binary"), FileEntry("app.ico", "icon"),
                 ControlFileEntry("  " + program + "  ", "  " + name, " " + icon, "  " + ProbeCommand(""))},
                "shortcut_mode");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "Instalacija gotova!");
    EXPECT_EQ(run.boxes[0].type, 0u);
    EXPECT_FALSE(run.boxes[0].text.empty());

    ShellLink link = ReadShellLink(file);
    EXPECT_EQ(link.target, program);
    EXPECT_EQ(link.workingDirectory, t);
    EXPECT_EQ(link.iconLocation, icon);
    EXPECT_EQ(link.iconIndex, 0);
    EXPECT_EQ(link.description, name);
    EXPECT_EQ(link.showCommand, 1u);   // a normal window
    EXPECT_EQ(link.hotKey, 0u);
    fs::remove(file);

    // Line 4 runs on in the target directory after the installer has ended.
    ASSERT_TRUE(WaitForFile(ProbeOut() + "/run.txt", kStartedProgramPatienceMs));
    std::string report = ReadFileText(ProbeOut() + "/run.txt");
    EXPECT_NE(report.find("cwd=" + t.substr(0, t.size() - 1) + "\n"), std::string::npos) << report;
    EXPECT_FALSE(Exists(ProbeOut() + "/script.copy"));
    EXPECT_EQ(ReadFileText(installation.scratch + "/app/app.exe"), "binary");
    EXPECT_FALSE(Exists(installation.scratch + "/app/$$$.$$$"));
    EXPECT_FALSE(Exists(ListPath()));
}

// Lines end at CR, LF or CR LF; lines that are missing read as empty.
TEST(Completion, TwoLineControlFileMakesAShortcutAndStartsNothing) {
    Installation installation = Prepare("two_line_control_file");
    const std::string program = installation.target + "x.exe";
    std::string file = DesktopDirectory() + "/Name.lnk";
    fs::remove(file);
    InstallerRun run = Install(installation, {FileEntry("x.exe", "x"), FileEntry("$$$.$$$", program + "\nName\r")},
                               "two_line_control_file");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "Instalacija gotova!");
    ShellLink link = ReadShellLink(file);
    EXPECT_EQ(link.target, program);
    EXPECT_EQ(link.description, "Name");
    fs::remove(file);
    EXPECT_FALSE(WaitForFile(ProbeOut() + "/run.txt", 2000));
}

// What cannot be done at the end fails the installation: no completion box,
// nothing started, and a temporary run still removes what it extracted.
TEST(Completion, ShortcutOrCommandThatCannotBeMadeFailsTheInstallation) {
    for (bool shortcut : {true, false}) {
        SCOPED_TRACE(shortcut ? "a folder in the way of the shortcut" : "a command that does not exist");
        Installation installation = Prepare("completion_failed");
        std::string file = DesktopDirectory() + "/Blocked.lnk";
        fs::create_directories(file);
        EntrySpec control = shortcut ? ControlFileEntry(installation.target + "a.txt", "Blocked", "", ProbeCommand(""))
                                     : ControlFileEntry("", "", "", "C:\\e2e\\missing\\tool.exe");
        InstallerRun run = Install(installation, {FileEntry("a.txt", "a"), control}, "completion_failed");
        fs::remove(file);
        ExpectInstallFailed(run);
        EXPECT_FALSE(WaitForFile(ProbeOut() + "/run.txt", shortcut ? 2000 : 0));
        EXPECT_EQ(Exists(installation.scratch + "/app"), shortcut);
        EXPECT_FALSE(Exists(ListPath()));
    }
}

TEST(Completion, TemporaryRunWaitsForTheProgramThenRemovesWhatTheListNames) {
    Installation installation = Prepare("temporary_run");
    std::string app = installation.scratch + "/app";
    WriteFileBytes(ListPath(), {'s', 't', 'a', 'l', 'e', '\r', '\n'});
    // The probe makes a file in a listed directory only after a pause: it goes
    // too when the installer really waited.
    std::string command = ProbeCommand(" " + installation.target + "sub\\made-later.txt");
    InstallerRun run = Install(installation,
                               {FileEntry("top.txt", "top"), DirectoryEntry("sub\\"), FileEntry("sub\\a.txt", "a"),
                                DirectoryEntry("A\\"), DirectoryEntry("A\\B\\"), FileEntry("A\\B\\c.txt", "c"),
                                ControlFileEntry("   ", "", "", command)},
                               "temporary_run");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(run.boxes.empty());

    // While the program ran, the list named every entry in extraction order.
    std::string report = ReadFileText(ProbeOut() + "/run.txt");
    const std::string t = installation.target;
    std::string expectedList = "list=" + t + "top.txt\r\n" + t + "sub\\\r\n" + t + "sub\\a.txt\r\n" + t + "A\\\r\n" +
                               t + "A\\B\\\r\n" + t + "A\\B\\c.txt\r\n" + t + "$$$.$$$\r\n";
    EXPECT_NE(report.find(expectedList), std::string::npos) << report;
    EXPECT_EQ(report.find("stale"), std::string::npos);

    EXPECT_FALSE(Exists(app + "/top.txt"));
    EXPECT_FALSE(Exists(app + "/sub"));   // its files went, then the emptied directory
    EXPECT_FALSE(Exists(app + "/A/B"));
    EXPECT_TRUE(fs::is_directory(app + "/A"));   // not empty when its turn came, and not visited again
    EXPECT_TRUE(fs::is_empty(app + "/A"));
    EXPECT_FALSE(Exists(app + "/$$$.$$$"));
    EXPECT_FALSE(Exists(ListPath()));
}

// The temporary-run mode writes only into a target that the run creates, and
// removes only what the run created. Paths are below the test's scratch
// directory, where the installer runs; the target is .\ or below it.
struct RemovalCase {
    const char* name;
    const char* target;
    std::vector<std::string> before;   // the user's files there before the run
    const char* linkedTarget;          // when set, the target is a link to this folder
    std::vector<EntrySpec> entries;
    std::vector<std::string> appended;   // lines the program run adds to the list
    bool refused;                        // the failure box, and nothing written or run
    std::vector<std::string> gone;
};

TEST(Completion, TemporaryRunTouchesNothingItDidNotCreate) {
    const std::vector<EntrySpec> packed = {FileEntry("data.txt", "packed"), FileEntry("new.txt", "new")};
    const RemovalCase cases[] = {
        {"existing_folder", "tool.tmp\\", {"tool.tmp/data.txt"}, nullptr, packed, {}, true, {"tool.tmp/new.txt"}},
        {"link_to_a_folder", "tool.tmp\\", {"victim/data.txt"}, "victim", packed, {}, true, {"victim/new.txt"}},
        {"current_directory", ".\\", {"data.txt"}, nullptr, packed, {}, true, {"new.txt", "$$$.$$$"}},
        // Lines the program adds are obeyed only for names below the target.
        {"appended_lines",
         "app\\",
         {"outside.txt", "outside/o.txt"},
         nullptr,
         {FileEntry("a.txt", "a")},
         {"outside.txt", "outside", "outside\\", "app\\", "app\\.", "app\\..\\outside.txt", "app\\sub\\.. "},
         false,
         {"app"}},
    };
    for (const RemovalCase& c : cases) {
        SCOPED_TRACE(c.name);
        PrepareProbe();
        std::string scratch = FreshScratch(std::string("removal_") + c.name);
        std::string windowsScratch = WindowsPath(scratch) + "\\";
        for (const std::string& file : c.before) {
            fs::create_directories(fs::path(scratch + "/" + file).parent_path());
            WriteFileBytes(scratch + "/" + file, {'m', 'i', 'n', 'e'});
        }
        if (c.linkedTarget) fs::create_directory_symlink(scratch + "/" + c.linkedTarget, scratch + "/tool.tmp");
        std::string appended;
        for (const std::string& line : c.appended) {
            // A backslash before the closing quote must be doubled, or it escapes the quote.
            std::string argument = "+" + windowsScratch + line + (line.back() == '\\' ? "\\" : "");
            appended += " \"" + argument + "\"";
        }
        std::vector<EntrySpec> entries = c.entries;
        entries.push_back(ControlFileEntry("", "", "", ProbeCommand(appended)));
        std::string target = std::string(c.target) == ".\\" ? c.target : windowsScratch + c.target;
        Bytes archive = MakeStoredArchive(MakeEntryStream(target, entries));
        InstallerRun run = RunInstallerFile(WriteInstaller(scratch, archive), scratch);
        if (c.refused) {
            ExpectInstallFailed(run);
        } else {
            EXPECT_EQ(run.exitCode, 0) << run.log;
            EXPECT_TRUE(run.boxes.empty());
        }
        EXPECT_EQ(Exists(ProbeOut() + "/run.txt"), !c.refused);   // the program ran, the removal followed
        for (const std::string& path : c.before) EXPECT_EQ(ReadFileText(scratch + "/" + path), "mine") << path;
        for (const std::string& path : c.gone) EXPECT_FALSE(Exists(scratch + "/" + path)) << path;
        EXPECT_TRUE(Exists(scratch + "/installer.exe"));
        EXPECT_FALSE(Exists(ListPath()));
    }
}

TEST(Completion, LineOneOfSpacesSelectsTemporaryRunAndEmptyTargetIsRemoved) {
    Installation installation = Prepare("temporary_run_flat");
    InstallerRun run = Install(installation,
                               {FileEntry("a.txt", "a"), FileEntry("b.txt", "b"),
                                ControlFileEntry("      ", "ignored", "ignored", ProbeCommand(""))},
                               "temporary_run_flat");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(Exists(ProbeOut() + "/run.txt"));
    EXPECT_FALSE(Exists(installation.scratch + "/app"));
}

// A relative target is listed as written, and the command starts in the
// installer's own folder, which stays.
TEST(Completion, RelativeTargetIsListedAsWritten) {
    PrepareProbe();
    Bytes stream =
        MakeEntryStream(".\\run\\", {FileEntry("a.txt", "abc"), ControlFileEntry("", "", "", ProbeCommand(""))});
    InstallerRun run = RunInstaller(MakeStoredArchive(stream), "relative_target_list");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    std::string report = ReadFileText(ProbeOut() + "/run.txt");
    EXPECT_NE(report.find("list=.\\run\\a.txt\r\n.\\run\\$$$.$$$\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("cwd=" + WindowsPath(run.scratch) + "\n"), std::string::npos) << report;
    EXPECT_FALSE(Exists(run.scratch + "/run"));            // removed again after the run
    EXPECT_TRUE(Exists(run.scratch + "/installer.exe"));   // the current directory itself stays
    EXPECT_FALSE(Exists(ListPath()));
}

// The archive alone decides: a control file that lies in the target (here
// the Downloads folder, which the installer's target .\ is) is neither read
// nor deleted, so its command never runs and its removal never follows.
TEST(Completion, OnlyTheArchivesOwnControlFileIsObeyed) {
    PrepareProbe();
    std::string scratch = FreshScratch("planted_control_file");
    std::string planted = "\r\n\r\n\r\n" + ProbeCommand("") + "\r\n";   // a temporary run of the probe
    WriteFileBytes(scratch + "/$$$.$$$", Bytes(planted.begin(), planted.end()));
    WriteFileBytes(scratch + "/thesis.doc", {'m', 'i', 'n', 'e'});
    Bytes archive = MakeStoredArchive(MakeEntryStream(".\\", {FileEntry("f1.txt", "packed")}));
    InstallerRun run = RunInstallerFile(WriteInstaller(scratch, archive), scratch);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_FALSE(Exists(ProbeOut() + "/run.txt"));   // a temporary run waits for its command
    EXPECT_EQ(ReadFileText(scratch + "/f1.txt"), "packed");
    EXPECT_EQ(ReadFileText(scratch + "/thesis.doc"), "mine");
    EXPECT_EQ(ReadFileText(scratch + "/$$$.$$$"), planted);
}

// While the temporary run's program runs, a directory that the run created
// (or the target itself) is swapped for a link to a folder of the user's; the
// removal afterwards must not go through it. Wine shows a Unix symbolic link
// as a reparse point, but does not let a program remove one, so what becomes
// of the link itself is not looked at here.
TEST(Completion, TemporaryRunRemovalNeverGoesThroughALink) {
    for (const char* swapped : {"TR/data", "TR"}) {
        SCOPED_TRACE(swapped);
        PrepareProbe();
        std::string scratch = FreshScratch("link_swap");
        fs::create_directories(scratch + "/docs");
        for (const char* file : {"/docs/thesis.doc", "/docs/taxes.xls"}) WriteFileBytes(scratch + file, {'m', 'y'});
        std::string signal = scratch + "/swap";
        std::thread swapper([&] {
            if (!WaitForFile(signal + ".waiting", kStartedProgramPatienceMs)) return;
            fs::rename(scratch + "/" + swapped, scratch + "/" + swapped + ".moved");
            fs::create_directory_symlink(scratch + "/docs", scratch + "/" + swapped);
            WriteFileBytes(signal + ".go", {});
        });
        std::string target = WindowsPath(scratch) + "\\TR\\";
        Bytes stream =
            MakeEntryStream(target, {DirectoryEntry("data\\"), FileEntry("data\\thesis.doc", "packed"),
                                     FileEntry("data\\taxes.xls", "packed"),
                                     ControlFileEntry("", "", "", ProbeCommand(" ?" + WindowsPath(signal)))});
        InstallerRun run = RunInstallerFile(WriteInstaller(scratch, MakeStoredArchive(stream)), scratch);
        swapper.join();
        EXPECT_EQ(run.exitCode, 0) << run.log;
        ASSERT_TRUE(Exists(signal + ".go"));   // the swap happened while the program ran
        EXPECT_EQ(ReadFileText(scratch + "/docs/thesis.doc"), "my");
        EXPECT_EQ(ReadFileText(scratch + "/docs/taxes.xls"), "my");
    }
}
