// sfxpack.exe under 64-bit Wine against the Linux sfxpack: the same inputs give
// the same installer, byte for byte, at every level and in every control mode;
// each one's list, verify and extract read the other's installers alike; and
// a signing tool gets its arguments as given and is stopped by an interrupt.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "../pack_testing.h"
#include "codec/levels.h"
#include "pack/installer/control_file.h"

namespace {

ProgramRun RunLinux(const std::vector<std::string>& arguments) { return RunProgram(SFXPACK_PATH, arguments); }
ProgramRun RunWindows(const std::vector<std::string>& arguments) { return RunProgram(SFXPACK_EXE_PATH, arguments); }

std::vector<std::string> With(std::vector<std::string> first, const std::vector<std::string>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// What the two must agree on: exit code and messages, with the path they were
// given spelled alike and the time the summary line ends with left out.
std::string Outcome(const ProgramRun& run, const std::string& path) {
    std::string out = Replaced(run.out, path, "OUT");
    size_t time = out.rfind(", ");
    if (out.compare(0, 4, "OUT:") == 0 && out.find(" s\n", time) != std::string::npos) out.erase(time);
    return std::to_string(run.exitCode) + "\n" + out + "\n" + Replaced(run.err, path, "OUT");
}

std::string Lines(size_t count) {
    std::string text;
    for (size_t line = 0; line < count; ++line) text += "line " + std::to_string(line * 7 % 113) + " of the sample\r\n";
    return text;
}

std::string Noise(size_t size, uint32_t seed) {
    std::string bytes(size, 0);
    for (char& byte : bytes) byte = char((seed = seed * 1103515245 + 12345) >> 23);
    return bytes;
}

void MakeTree(const std::string& root, const std::vector<std::pair<std::string, std::string>>& files) {
    mkdir(root.c_str(), 0755);
    for (const auto& file : files) {
        if (file.first.back() == '/') mkdir((root + "/" + file.first).c_str(), 0755);
        else WriteFile(root + "/" + file.first, file.second);
    }
}

}   // namespace

TEST(PackExe, SameInstallersAsLinuxAndEachReadsTheOthers) {
    std::string scratch = MakeScratch("same");
    std::string stub = scratch + "/stub.exe";
    WriteBytes(stub, FakeStub());
    std::string western = scratch + "/western", cyrillic = scratch + "/cyrillic", clash = scratch + "/clash";
    MakeTree(western, {{"app/", ""},
                       {"app/data/", ""},
                       {"app/empty dir/", ""},
                       {"app/data/table.txt", Lines(3000)},
                       {"app/noise.bin", Noise(20000, 5)},
                       {"app/empty.txt", ""},
                       {"caf\xC3\xA9 menu.txt", "Men\xC3\xBC"},
                       {"readme.txt", Lines(20)}});
    MakeTree(cyrillic, {{"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82/", ""},
                        {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82/\xD0\x96.txt", Lines(50)}});
    MakeTree(clash, {{"caf\xC3\xA9.txt", "a"}, {"CAF\xC3\x89.txt", "b"}});

    // Every control mode, each at every level.
    const std::vector<std::vector<std::string>> modes = {
        {},
        {"--target", "C:\\Sample", "--shortcut", "C:\\Sample\\readme.txt", "--name", "Sample readme", "--icon",
         "C:\\Sample\\app\\noise.bin", "--run", "readme.txt"},
        {"--temp-run", "app\\tool.exe /s"},
    };
    ASSERT_EQ(modes.size(), ControlModes().size() + 1) << "a control mode without its row here";
    struct Case {
        std::string tree;
        std::vector<std::string> codePage;   // the option, or none for the default
        std::vector<std::string> options;
    };
    std::vector<Case> cases;
    for (const CompressionLevel& level : CompressionLevels())
        for (const std::vector<std::string>& mode : modes)
            cases.push_back({western, {}, With({"--level", level.name}, mode)});
    cases.push_back({cyrillic, {"--codepage", "cp1251"}, {"--target", "C:\\\xD0\x9F\xD1\x80"}});
    cases.push_back({clash, {}, {}});   // refused: the same name to Windows
    // Refused as not in WINDOWS-1252: Cyrillic, a decomposed "é", a C1 control
    // (Windows has a byte for it, iconv not), "Ł" (Windows would write "L").
    cases.push_back({cyrillic, {}, {}});
    for (const char* name : {"cafe\xCC\x81.txt", "\xC2\x81.txt", "\xC5\x81\xC3\xB3\x64\xC5\xBA.txt"}) {
        std::string tree = scratch + "/" + std::to_string(cases.size());
        MakeTree(tree, {{name, "x"}});
        cases.push_back({tree, {}, {}});
    }

    // One name in two folders: a temporary run's default target is named after it.
    std::string out = scratch + "/out";
    for (const char* folder : {"", "/linux", "/windows"}) mkdir((out + folder).c_str(), 0755);
    std::string linuxMade = out + "/linux/setup.exe", windowsMade = out + "/windows/setup.exe";
    for (const Case& c : cases) {
        std::string context = c.tree;
        for (const std::string& option : With(c.codePage, c.options)) context += " " + option;
        std::vector<std::string> options = With(With({"--stub", stub}, c.codePage), c.options);
        ProgramRun linuxRun = RunLinux(With({"create", c.tree, "-o", linuxMade}, options));
        ProgramRun windowsRun = RunWindows(With({"create", c.tree, "-o", windowsMade}, options));
        EXPECT_EQ(Outcome(windowsRun, windowsMade), Outcome(linuxRun, linuxMade)) << context;
        if (linuxRun.exitCode != 0) continue;
        ASSERT_EQ(ReadBytes(windowsMade), ReadBytes(linuxMade)) << context;

        // Each reads the other's: list and verify say the same, extract gives the tree back.
        for (const char* command : {"list", "verify"}) {
            ProgramRun byWindows = RunWindows(With(With({command}, c.codePage), {linuxMade}));
            ProgramRun byLinux = RunLinux(With(With({command}, c.codePage), {windowsMade}));
            EXPECT_EQ(byWindows.exitCode, 0) << context << " " << command << ": " << byWindows.err;
            EXPECT_EQ(Outcome(byWindows, linuxMade), Outcome(byLinux, windowsMade)) << context << " " << command;
        }
        std::string byWindows = out + "/by-windows", byLinux = out + "/by-linux";
        EXPECT_EQ(RunWindows(With(With({"extract"}, c.codePage), {linuxMade, byWindows})).exitCode, 0) << context;
        EXPECT_EQ(RunLinux(With(With({"extract"}, c.codePage), {windowsMade, byLinux})).exitCode, 0) << context;
        EXPECT_EQ(CompareTrees(byLinux, byWindows), "") << context;
        unlink((byWindows + "/$$$.$$$").c_str());   // the control file: the trees hold none
        EXPECT_EQ(CompareTrees(c.tree, byWindows), "") << context;
        RemoveTree(byWindows);
        RemoveTree(byLinux);
    }
    RemoveTree(scratch);
}

// RunTool on Windows: a program found in PATH, its arguments quoted so that the
// C runtime reads them back as given, its output caught, its exit code kept;
// and an interrupt ends it before removing the files, so it cannot make one.
TEST(PackExe, SigningToolRunsWithItsArgumentsAndIsStoppedByAnInterrupt) {
    std::string scratch = MakeScratch("tool");
    std::string tree = scratch + "/tree", keys = scratch + "/key dir \xC3\xBC", out = scratch + "/out";
    MakeTree(tree, {{"a.txt", Lines(100)}});
    mkdir(keys.c_str(), 0755);
    mkdir(out.c_str(), 0755);
    WriteFile(keys + "/cert.pem", "certificate");
    WriteFile(keys + "/key.pem", "key");
    WriteBytes(scratch + "/stub.exe", FakeStub());
    std::string timestamp = "http://x/ \"quoted\" tab\there trailing\\";
    std::vector<std::string> create = {"create",      tree,
                                       "-o",          out + "/setup.exe",
                                       "--stub",      scratch + "/stub.exe",
                                       "--sign-cert", keys + "/cert.pem",
                                       "--sign-key",  keys + "/key.pem",
                                       "--timestamp", timestamp};

    ProgramRun missing = RunWindows(create);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("osslsigncode is not installed (not found in PATH); signing needs it: put "
                               "osslsigncode.exe in a directory on PATH"),
              std::string::npos)
        << missing.err;

    setenv("WINEPATH", SFX_FAKE_TOOLS_DIR, 1);   // Wine puts it before the prefix's PATH
    ProgramRun failed = RunWindows(create);
    EXPECT_EQ(failed.exitCode, 1);
    std::string shownTimestamp = "http://x/ \"quoted\" tab\\x09here trailing\\";   // as messages show a tab
    std::string arguments = "with the timestamp server " + shownTimestamp + " (exit code 3): sign; -certs; " + keys +
                            "/cert.pem; -key; " + keys + "/key.pem; -ts; " + shownTimestamp + "; -in; " + out +
                            "/setup.exe.tmp-";
    EXPECT_NE(failed.err.find(arguments), std::string::npos) << arguments << "\nin: " << failed.err;
    EXPECT_EQ(ListTree(out), std::vector<std::string>{});

    // The interrupt comes once the tool has started (it notes that in started/).
    std::string started = scratch + "/started";
    mkdir(started.c_str(), 0755);
    std::string startedNote = "Z:" + started + "/tool";   // Wine's drive for the host's root
    for (char& c : startedNote) c = c == '/' ? '\\' : c;
    setenv("SFX_FAKE_TOOL_LATE", startedNote.c_str(), 1);
    ProgramRun interrupted = RunProgram(SFXPACK_EXE_PATH, create, 0, SIGINT, started);
    EXPECT_EQ(interrupted.exitCode, 0x3A);   // the low byte of STATUS_CONTROL_C_EXIT
    usleep(1500 * 1000);                     // when the tool, had it lived, would have written
    EXPECT_EQ(ListTree(out), std::vector<std::string>{}) << "left behind";
    unsetenv("SFX_FAKE_TOOL_LATE");
    unsetenv("WINEPATH");
    RemoveTree(scratch);
}
