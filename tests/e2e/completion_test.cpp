// How a run ends: no control file, the shortcut mode and the temporary-run
// mode. The probe program stands in for the script host and for the programs
// that the control file names, and reports what it saw.
#include <gtest/gtest.h>

#include <filesystem>

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
