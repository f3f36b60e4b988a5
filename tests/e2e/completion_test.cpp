// How a run ends: no control file, the shortcut mode and the temporary-run
// mode. The probe program stands in for the script host and for the programs
// that the control file names, and reports what it saw.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
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

TEST(Completion, ShortcutModeWritesRunsAndRemovesTheScriptThenStartsTheProgram) {
    Installation installation = Prepare("shortcut_mode");
    const std::string program = "C:\\Program Files\\My App\\app.exe";
    InstallerRun run =
        Install(installation,
                {FileEntry("app.exe", "binary"),
                 ControlFileEntry("  " + program + "  ", "  My App", " C:\\icons\\app.ico", "  " + ProbeCommand(""))},
                "shortcut_mode");
    EXPECT_EQ(run.exitCode, 0) << run.log;

    // The script, byte for byte, as the script host received it, while the installer waited.
    const std::string t = installation.target;
    const std::string expected = "Option Explicit\r\n"
                                 "Dim objShell, objDesktop, objLink\r\n"
                                 "Dim strAppPath, strWorkDir, strIconPath\r\n"
                                 "strWorkDir =\"" +
                                 t +
                                 "\"\r\n"
                                 "strAppPath = \"" +
                                 program +
                                 "\"\r\n"
                                 "strIconPath = \"C:\\icons\\app.ico,0\"\r\n"
                                 "Set objShell = CreateObject(\"WScript.Shell\")\r\n"
                                 "objDesktop = objShell.SpecialFolders(\"Desktop\")\r\n"
                                 "Set objLink = objShell.CreateShortcut(objDesktop & \"\\My App.lnk\")\r\n"
                                 "objLink.Description = \"My App\"\r\n"
                                 "objLink.HotKey = \"\"\r\n"
                                 "objLink.IconLocation = strIconPath\r\n"
                                 "objLink.TargetPath = strAppPath\r\n"
                                 "objLink.WindowStyle = 1\r\n"
                                 "objLink.WorkingDirectory = strWorkDir\r\n"
                                 "objLink.Save\r\n"
                                 "WScript.Quit\r\n";
    EXPECT_EQ(ReadFileText(ProbeOut() + "/script.copy"), expected);
    EXPECT_EQ(ReadFileText(ProbeOut() + "/script.path"), t + "$$$ikona.vbs");
    EXPECT_EQ(ReadFileText(ProbeOut() + "/script.done"), "present");
    EXPECT_FALSE(Exists(installation.scratch + "/app/$$$ikona.vbs"));
    EXPECT_FALSE(Exists(installation.scratch + "/app/$$$.$$$"));

    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "Instalacija gotova!");
    EXPECT_EQ(run.boxes[0].type, 0u);
    EXPECT_FALSE(run.boxes[0].text.empty());

    // Line 4 runs on in the target directory after the installer has ended.
    ASSERT_TRUE(WaitForFile(ProbeOut() + "/run.txt", kStartedProgramPatienceMs));
    std::string report = ReadFileText(ProbeOut() + "/run.txt");
    EXPECT_NE(report.find("cwd=" + t.substr(0, t.size() - 1) + "\n"), std::string::npos) << report;
    EXPECT_EQ(ReadFileText(installation.scratch + "/app/app.exe"), "binary");
    EXPECT_FALSE(Exists(ListPath()));
}

TEST(Completion, TwoLineControlFileGivesAnIconOfIndexZeroOnlyAndStartsNothing) {
    Installation installation = Prepare("two_line_control_file");
    InstallerRun run = Install(installation, {FileEntry("$$$.$$$", "C:\\x.exe\r\nName\r\n")}, "two_line_control_file");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    std::vector<std::string> script = SplitCrLfLines(ReadFileText(ProbeOut() + "/script.copy"));
    ASSERT_EQ(script.size(), 17u);
    EXPECT_EQ(script[5], "strIconPath = \",0\"");
    EXPECT_EQ(script[8], "Set objLink = objShell.CreateShortcut(objDesktop & \"\\Name.lnk\")");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "Instalacija gotova!");
    EXPECT_FALSE(WaitForFile(ProbeOut() + "/run.txt", 2000));
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

// The temporary-run mode removes only what the run created. Paths are below
// the test's scratch directory, where the installer runs; the target is the
// scratch directory itself (.\ in the archive) or its app directory, which
// may exist before the run.
struct RemovalCase {
    const char* name;
    const char* target;
    std::vector<std::string> before;   // files there before the run
    std::vector<EntrySpec> entries;
    std::vector<std::string> appended;   // lines the program run adds to the list
    std::vector<std::string> kept;
    std::vector<std::string> gone;
};

TEST(Completion, TemporaryRunRemovesOnlyWhatTheRunCreated) {
    const RemovalCase cases[] = {
        // A Downloads folder that has docs\ already: its own files stay.
        {"downloads",
         ".\\",
         {"docs/thesis.doc"},
         {DirectoryEntry("docs\\"), FileEntry("docs\\manual.txt", "m")},
         {},
         {"docs/thesis.doc"},
         {"docs/manual.txt"}},
        // An existing target keeps its own files, and itself.
        {"existing_target",
         "app\\",
         {"app/own.txt"},
         {FileEntry("a.txt", "a"), DirectoryEntry("sub\\"), FileEntry("sub\\b.txt", "b")},
         {},
         {"app/own.txt"},
         {"app/a.txt", "app/sub"}},
        // Lines the program adds are obeyed only for names below the target.
        {"appended_lines",
         "app\\",
         {"app/own.txt", "outside.txt", "outside/o.txt"},
         {FileEntry("a.txt", "a")},
         {"outside.txt", "outside", "outside\\", "app\\", "app\\.", "app\\..\\outside.txt", "app\\sub\\.. "},
         {"app/own.txt", "outside.txt", "outside/o.txt"},
         {"app/a.txt"}},
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
        EXPECT_EQ(run.exitCode, 0) << run.log;
        ASSERT_TRUE(Exists(ProbeOut() + "/run.txt"));   // the program ran, the removal followed
        for (const std::string& path : c.kept) EXPECT_EQ(ReadFileText(scratch + "/" + path), "mine") << path;
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
    EXPECT_FALSE(Exists(ProbeOut() + "/script.copy"));
    EXPECT_FALSE(Exists(installation.scratch + "/app"));
}

TEST(Completion, WorkedExampleUnderTheCurrentDirectoryListsItsPathAsWritten) {
    PrepareProbe();
    // The worked example's entry, with a control file that lets the probe copy the list.
    Bytes stream = MakeEntryStream(".\\", {FileEntry("a.txt", "abc"), ControlFileEntry("", "", "", ProbeCommand(""))});
    InstallerRun run = RunInstaller(MakeStoredArchive(stream), "relative_target_list");
    EXPECT_EQ(run.exitCode, 0) << run.log;
    std::string report = ReadFileText(ProbeOut() + "/run.txt");
    EXPECT_NE(report.find("list=.\\a.txt\r\n.\\$$$.$$$\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("cwd=" + WindowsPath(run.scratch) + "\n"), std::string::npos) << report;
    EXPECT_FALSE(Exists(run.scratch + "/a.txt"));          // removed again after the run
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

// A shortcut script already beside the installer that the run cannot replace
// (held open, as a read-only file would be) is someone else's: never started.
TEST(Completion, PlantedScriptThatCannotBeReplacedIsNotStarted) {
    PrepareProbe();
    std::string scratch = FreshScratch("planted_script");
    WriteFileBytes(scratch + "/$$$ikona.vbs", {'p', 'l', 'a', 'n', 't', 'e', 'd'});
    HeldFile held(scratch + "/$$$ikona.vbs");
    ASSERT_TRUE(held.held());
    std::string link = DesktopDirectory() + "/Planted Script.lnk";
    fs::remove(link);
    Bytes archive =
        MakeStoredArchive(MakeEntryStream(".\\", {ControlFileEntry("C:\\x\\app.exe", "Planted Script", "", "")}));
    InstallerRun run = RunInstallerFile(WriteInstaller(scratch, archive), scratch);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "Instalacija gotova!");
    EXPECT_FALSE(Exists(ProbeOut() + "/script.copy"));
    EXPECT_EQ(ReadFileText(scratch + "/$$$ikona.vbs"), "planted");
    EXPECT_TRUE(Exists(link));   // the shortcut is made without the script
    fs::remove(link);
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

// The shell link file as documented: a header, an optional item list, an
// optional location block, then counted strings.
struct ShellLink {
    std::string target, description, workingDirectory, iconLocation;
    int32_t iconIndex = -1;
    uint32_t showCommand = 0;
    uint16_t hotKey = 0xFFFF;
};

static ShellLink ReadShellLink(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    auto u16 = [&](size_t at) { return at + 2 <= bytes.size() ? uint32_t(bytes[at] | bytes[at + 1] << 8) : 0u; };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    auto text = [&](size_t at) { return at < bytes.size() ? std::string((const char*)&bytes[at]) : std::string(); };
    ShellLink link;
    if (bytes.size() < 76 || u32(0) != 76) return link;
    enum {
        ITEM_LIST = 0x1,
        LOCATION = 0x2,
        NAME = 0x4,
        RELATIVE_PATH = 0x8,
        WORKING_DIRECTORY = 0x10,
        ARGUMENTS = 0x20,
        ICON = 0x40,
        UNICODE_STRINGS = 0x80
    };
    uint32_t flags = u32(20);
    link.iconIndex = (int32_t)u32(56);
    link.showCommand = u32(60);
    link.hotKey = (uint16_t)u16(64);
    size_t at = 76;
    if (flags & ITEM_LIST) at += 2 + u16(at);
    if (flags & LOCATION) {
        if (u32(at + 8) & 1) link.target = text(at + u32(at + 16)) + text(at + u32(at + 24));
        at += u32(at);
    }
    auto counted = [&]() {
        size_t count = u16(at), width = (flags & UNICODE_STRINGS) ? 2 : 1;
        std::string value;
        for (size_t i = 0; i < count; ++i) value += (char)bytes.at(at + 2 + i * width);   // ASCII values here
        at += 2 + count * width;
        while (!value.empty() && value.back() == 0) value.pop_back();   // Wine counts the terminator too
        return value;
    };
    for (uint32_t string : {NAME, RELATIVE_PATH, WORKING_DIRECTORY, ARGUMENTS, ICON}) {
        if (!(flags & string)) continue;
        std::string value = counted();
        if (string == NAME) link.description = value;
        if (string == WORKING_DIRECTORY) link.workingDirectory = value;
        if (string == ICON) link.iconLocation = value;
    }
    return link;
}

// Hides the script engine from 32- and 64-bit programs while it lives.
struct HiddenScriptEngine {
    std::vector<std::string> hidden;
    HiddenScriptEngine() {
        for (const char* folder : {"system32", "syswow64"}) {
            std::string engine = DriveC() + "/windows/" + folder + "/vbscript.dll";
            if (Exists(engine)) fs::rename(engine, engine + ".hidden"), hidden.push_back(engine);
        }
    }
    ~HiddenScriptEngine() {
        for (const std::string& engine : hidden) fs::rename(engine + ".hidden", engine);
    }
};

// The installer writes the shortcut itself, the same one the script asks for,
// also where the system has no script engine (it then writes no script).
TEST(Completion, ShortcutIsWrittenWithOrWithoutTheScriptEngine) {
    for (bool engine : {true, false}) {
        SCOPED_TRACE(engine ? "with the script engine" : "without it");
        Installation installation = Prepare("shortcut_file");
        const std::string name = "Sfx Shortcut";
        std::string file = DesktopDirectory() + "/" + name + ".lnk";
        fs::remove(file);
        const std::string program = installation.target + "app.exe", icon = installation.target + "app.ico";
        InstallerRun run;
        {
            std::unique_ptr<HiddenScriptEngine> hidden(engine ? nullptr : new HiddenScriptEngine);
            run = Install(installation,
                          {FileEntry("app.exe", "binary"), FileEntry("app.ico", "icon"),
                           ControlFileEntry(program, name, icon, "")},
                          "shortcut_file");
        }
        EXPECT_EQ(run.exitCode, 0) << run.log;
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].caption, "Instalacija gotova!");
        EXPECT_EQ(Exists(ProbeOut() + "/script.copy"), engine);
        ShellLink link = ReadShellLink(file);
        EXPECT_EQ(link.target, program);
        EXPECT_EQ(link.workingDirectory, installation.target);
        EXPECT_EQ(link.iconLocation, icon);
        EXPECT_EQ(link.iconIndex, 0);
        EXPECT_EQ(link.description, name);
        EXPECT_EQ(link.showCommand, 1u);   // a normal window
        EXPECT_EQ(link.hotKey, 0u);
        fs::remove(file);
    }
}
