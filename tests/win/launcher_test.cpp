// The launcher against real programs: a probe program (helpers/launch_probe)
// reports how it was started, and a document type registered for these tests
// opens through the probe, so that the shell path can be watched as well.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "process/launcher.h"
#include "scratch.h"

namespace {

const char* const kDocumentExtension = ".sfxprobe";

std::string OwnDirectory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own = path;
    return own.substr(0, own.rfind('\\') + 1);
}

std::string ProbePath() { return OwnDirectory() + "launch_probe.exe"; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Documents of the test type open as: launch_probe document DOCUMENT.
class LauncherEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        InitializeLauncher();
        std::string command = Quoted(ProbePath()) + " document \"%1\"";
        RegSetValueA(HKEY_CLASSES_ROOT, kDocumentExtension, REG_SZ, "sfxprobe.document", 0);
        RegSetValueA(HKEY_CLASSES_ROOT, "sfxprobe.document\\shell\\open\\command", REG_SZ, command.c_str(), 0);
    }
};
testing::Environment* const environment = testing::AddGlobalTestEnvironment(new LauncherEnvironment);

std::map<std::string, std::string> ReadReport(const std::string& path) {
    std::map<std::string, std::string> report;
    std::istringstream lines(ReadWholeFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find('=');
        if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
}

// Everything up to the end of the pipe, that is until every writer has closed
// it; a pipe that a stray copy of a writing end keeps open ends in a marker
// after a while instead of blocking the test for good.
std::string ReadToEnd(HANDLE pipe) {
    std::string bytes;
    for (DWORD waited = 0; waited < 30000;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return bytes;   // every writer is gone
        if (!available) {
            Sleep(20);
            waited += 20;
            continue;
        }
        char buffer[256];
        DWORD got = 0;
        ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr);
        bytes.append(buffer, got);
    }
    return bytes + "<pipe still open>";
}

bool WaitForPath(const std::string& path, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        if (PathExists(path)) return true;
        Sleep(50);
    }
    return PathExists(path);
}

std::string WithoutTrailingBackslash(std::string path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

std::string CurrentDirectory() {
    char directory[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, directory);
    return WithoutTrailingBackslash(directory);
}

const ProgramRecord* Launched(uintptr_t result) {
    EXPECT_GT(result, 1u) << "a program record was expected";
    return result > 1 ? (const ProgramRecord*)result : nullptr;
}

bool IsInheritable(HANDLE handle) {
    DWORD flags = 0;
    GetHandleInformation(handle, &flags);
    return (flags & HANDLE_FLAG_INHERIT) != 0;
}

DWORD ExitCodeAfterWaiting(HANDLE process) {
    EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
    DWORD code = 999;
    GetExitCodeProcess(process, &code);
    return code;
}

void CloseRecordHandles(const ProgramRecord* record) {
    for (HANDLE handle : {record->process, record->inputPipe, record->outputPipe, record->errorPipe})
        if (handle) CloseHandle(handle);
}

// Counted one by one: not every platform implements GetProcessHandleCount.
int CountOpenHandles() {
    int count = 0;
    DWORD flags;
    for (uintptr_t value = 4; value < 0x10000; value += 4)
        if (GetHandleInformation((HANDLE)value, &flags)) count++;
    return count;
}

std::string MakeDocument(const std::string& path, int delayMilliseconds) {
    WriteWholeFile(path, std::to_string(delayMilliseconds));
    return path;
}

}   // namespace

TEST(LaunchDirect, WaitsForTheProgramOnlyWhenAsked) {
    std::string dir = MakeScratchDirectory("launch_wait");
    std::string waited = dir + "waited", unwaited = dir + "unwaited";

    EXPECT_EQ(LaunchProgram(ProbePath().c_str(), ("sleep 1500 " + Quoted(waited)).c_str(), "", LAUNCH_WAIT), 1u);
    EXPECT_TRUE(PathExists(waited));

    // This one goes on only when told to (or after a minute): a launch that
    // waited would return only when the program had written its file.
    std::string go = dir + "go";
    EXPECT_EQ(LaunchProgram(ProbePath().c_str(), ("await " + Quoted(go) + " " + Quoted(unwaited)).c_str(), nullptr),
              1u);
    EXPECT_FALSE(PathExists(unwaited));
    WriteWholeFile(go, "");
    EXPECT_TRUE(WaitForPath(unwaited, 30000)) << "the program should still have run";
}

TEST(LaunchDirect, QuotesTheProgramUnlessItStartsWithAQuote) {
    std::string dir = MakeScratchDirectory("launch_quote");
    CreateDirectoryA((dir + "with space").c_str(), nullptr);
    std::string program = dir + "with space\\launch probe.exe";
    ASSERT_TRUE(CopyFileA(ProbePath().c_str(), program.c_str(), FALSE));

    // A program path with spaces is one name.
    std::string report = dir + "plain.txt";
    std::string parameters = "report " + Quoted(report);
    ASSERT_EQ(LaunchProgram(program.c_str(), parameters.c_str(), nullptr, LAUNCH_WAIT), 1u);
    EXPECT_EQ(ReadReport(report)["cmdline"], Quoted(program) + " " + parameters);

    // The caller's own quoting, with arguments, passes unchanged; with no
    // parameters nothing is appended, not even a space.
    std::string ownQuoting = Quoted(program) + " report " + Quoted(dir + "own.txt");
    ASSERT_EQ(LaunchProgram(ownQuoting.c_str(), "", nullptr, LAUNCH_WAIT), 1u);
    EXPECT_EQ(ReadReport(dir + "own.txt")["cmdline"], ownQuoting);

    std::string quotedOnly = Quoted(program) + " report";
    ASSERT_EQ(LaunchProgram(quotedOnly.c_str(), Quoted(dir + "both.txt").c_str(), nullptr, LAUNCH_WAIT), 1u);
    EXPECT_EQ(ReadReport(dir + "both.txt")["cmdline"], quotedOnly + " " + Quoted(dir + "both.txt"));

    // Arguments written into an unquoted program text become part of its
    // name, which names nothing.
    std::string named = program + " report " + dir + "named.txt";
    EXPECT_EQ(LaunchProgram(named.c_str(), nullptr, nullptr, LAUNCH_WAIT), 0u);
    EXPECT_FALSE(PathExists(dir + "named.txt"));
}

TEST(LaunchDirect, StartsInTheWorkingDirectoryOrInheritsOurs) {
    std::string dir = MakeScratchDirectory("launch_cwd");
    std::string given = dir + "given.txt", empty = dir + "empty.txt", missing = dir + "missing.txt";

    ASSERT_EQ(LaunchProgram(ProbePath().c_str(), ("report " + Quoted(given)).c_str(), dir.c_str(), LAUNCH_WAIT), 1u);
    EXPECT_EQ(WithoutTrailingBackslash(ReadReport(given)["cwd"]), WithoutTrailingBackslash(dir));

    ASSERT_EQ(LaunchProgram(ProbePath().c_str(), ("report " + Quoted(empty)).c_str(), "", LAUNCH_WAIT), 1u);
    EXPECT_EQ(WithoutTrailingBackslash(ReadReport(empty)["cwd"]), CurrentDirectory());
    ASSERT_EQ(LaunchProgram(ProbePath().c_str(), ("report " + Quoted(missing)).c_str(), nullptr, LAUNCH_WAIT), 1u);
    EXPECT_EQ(WithoutTrailingBackslash(ReadReport(missing)["cwd"]), CurrentDirectory());
}

// Makes sure that the test program has a console for one scope, so that
// programs show whether they share it or were detached from it.
class ConsoleForScope {
  public:
    ConsoleForScope() {
        for (int stream = 0; stream < 3; stream++) saved_[stream] = GetStdHandle(STD_INPUT_HANDLE - stream);
        allocated_ = AllocConsole();   // fails when there is one already
    }
    ~ConsoleForScope() {
        if (!allocated_) return;
        FreeConsole();
        for (int stream = 0; stream < 3; stream++) SetStdHandle(STD_INPUT_HANDLE - stream, saved_[stream]);
    }

  private:
    HANDLE saved_[3];
    BOOL allocated_;
};

TEST(LaunchDirect, HiddenProgramsAreDetachedUnlessAStreamIsConnected) {
    std::string dir = MakeScratchDirectory("launch_hide");
    ConsoleForScope console;

    ASSERT_EQ(LaunchProgram(ProbePath().c_str(), ("report " + Quoted(dir + "shown.txt")).c_str(), nullptr, LAUNCH_WAIT),
              1u);
    std::map<std::string, std::string> shown = ReadReport(dir + "shown.txt");
    EXPECT_EQ(shown["startflags"], std::to_string(STARTF_USESHOWWINDOW));
    EXPECT_EQ(shown["show"], std::to_string(SW_SHOWNORMAL));
    EXPECT_EQ(shown["console"], "1");

    ASSERT_EQ(LaunchProgram(ProbePath().c_str(), ("report " + Quoted(dir + "hidden.txt")).c_str(), nullptr,
                            LAUNCH_WAIT | LAUNCH_HIDE),
              1u);
    std::map<std::string, std::string> hidden = ReadReport(dir + "hidden.txt");
    EXPECT_EQ(hidden["startflags"], std::to_string(STARTF_USESHOWWINDOW));
    EXPECT_EQ(hidden["show"], std::to_string(SW_HIDE));
    EXPECT_EQ(hidden["console"], "0") << "a hidden program is detached from our console";

    const ProgramRecord* piped =
        Launched(LaunchProgram(ProbePath().c_str(), ("report " + Quoted(dir + "piped.txt")).c_str(), nullptr,
                               LAUNCH_WAIT | LAUNCH_HIDE | LAUNCH_KEEP_RECORD | LAUNCH_PIPE_OUTPUT));
    ASSERT_TRUE(piped);
    std::map<std::string, std::string> report = ReadReport(dir + "piped.txt");
    EXPECT_EQ(report["startflags"], std::to_string(STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES));
    EXPECT_EQ(report["show"], std::to_string(SW_HIDE));
    EXPECT_EQ(report["console"], "1") << "a program with a connected stream is not detached";
    EXPECT_EQ(report["stdout"], "1");
    CloseRecordHandles(piped);
}

TEST(LaunchPipes, CarryTheProgramsOutputAndErrorToTheCaller) {
    const ProgramRecord* record = Launched(LaunchProgram(ProbePath().c_str(), "emit hello", nullptr,
                                                         LAUNCH_KEEP_RECORD | LAUNCH_PIPE_OUTPUT | LAUNCH_PIPE_ERROR));
    ASSERT_TRUE(record);
    EXPECT_NE(record->processId, 0u);
    EXPECT_NE(record->processId, 0xFFFFFFFFu);
    EXPECT_EQ(record->inputPipe, nullptr);
    ASSERT_TRUE(record->outputPipe && record->errorPipe);
    EXPECT_FALSE(IsInheritable(record->outputPipe));
    EXPECT_FALSE(IsInheritable(record->errorPipe));
    // Reading to the end proves that no other copy of the writing ends stayed open.
    EXPECT_EQ(ReadToEnd(record->outputPipe), "out:hello");
    EXPECT_EQ(ReadToEnd(record->errorPipe), "err:hello");
    EXPECT_EQ(ExitCodeAfterWaiting(record->process), 0u);
    CloseRecordHandles(record);
}

TEST(LaunchPipes, FeedTheProgramsInputFromTheCaller) {
    const ProgramRecord* record = Launched(LaunchProgram(ProbePath().c_str(), "upper", nullptr,
                                                         LAUNCH_KEEP_RECORD | LAUNCH_PIPE_INPUT | LAUNCH_PIPE_OUTPUT));
    ASSERT_TRUE(record);
    ASSERT_TRUE(record->inputPipe);
    EXPECT_FALSE(IsInheritable(record->inputPipe));
    EXPECT_EQ(record->errorPipe, nullptr);
    DWORD written;
    ASSERT_TRUE(WriteFile(record->inputPipe, "abc", 3, &written, nullptr));
    CloseHandle(record->inputPipe);   // the end of the program's input
    EXPECT_EQ(ReadToEnd(record->outputPipe), "ABC");
    EXPECT_EQ(ExitCodeAfterWaiting(record->process), 0u);
    CloseHandle(record->outputPipe);
    CloseHandle(record->process);
}

TEST(LaunchPipes, ConnectFeedsTheSendersOutputToTheNextProgram) {
    const ProgramRecord* sender = Launched(LaunchProgram(ProbePath().c_str(), "emit hello", nullptr,
                                                         LAUNCH_KEEP_RECORD | LAUNCH_PIPE_OUTPUT | LAUNCH_PIPE_ERROR));
    ASSERT_TRUE(sender);
    const ProgramRecord before = *sender;
    const ProgramRecord* receiver = Launched(LaunchProgram(
        ProbePath().c_str(), "upper", nullptr, LAUNCH_KEEP_RECORD | LAUNCH_PIPE_OUTPUT | LAUNCH_CONNECT, sender));
    ASSERT_TRUE(receiver);
    EXPECT_EQ(receiver->inputPipe, nullptr) << "connect takes the place of an input pipe";
    EXPECT_EQ(ReadToEnd(receiver->outputPipe), "OUT:HELLO");
    EXPECT_EQ(ExitCodeAfterWaiting(receiver->process), 0u);

    // The sender's record and its private pipe end are as they were.
    EXPECT_EQ(memcmp(&before, sender, sizeof(before)), 0);
    DWORD flags;
    EXPECT_TRUE(GetHandleInformation(sender->outputPipe, &flags));
    EXPECT_FALSE(IsInheritable(sender->outputPipe));
    CloseRecordHandles(sender);
    CloseRecordHandles(receiver);

    // A sender without an output pipe connects nothing; an input pipe is made instead.
    ProgramRecord silent = {};
    const ProgramRecord* fed =
        Launched(LaunchProgram(ProbePath().c_str(), "upper", nullptr,
                               LAUNCH_KEEP_RECORD | LAUNCH_PIPE_INPUT | LAUNCH_PIPE_OUTPUT | LAUNCH_CONNECT, &silent));
    ASSERT_TRUE(fed);
    ASSERT_TRUE(fed->inputPipe);
    DWORD written;
    WriteFile(fed->inputPipe, "x", 1, &written, nullptr);
    CloseHandle(fed->inputPipe);
    EXPECT_EQ(ReadToEnd(fed->outputPipe), "X");
    CloseHandle(fed->outputPipe);
    CloseHandle(fed->process);
}

TEST(LaunchPipes, StreamFlagsWithoutARecordMakeNoPipesButRuleOutTheShell) {
    std::string dir = MakeScratchDirectory("launch_streams");
    // A program still starts, with our own standard output.
    ASSERT_EQ(LaunchProgram(ProbePath().c_str(), ("report " + Quoted(dir + "plain.txt")).c_str(), nullptr,
                            LAUNCH_WAIT | LAUNCH_PIPE_OUTPUT | LAUNCH_PIPE_INPUT | LAUNCH_PIPE_ERROR),
              1u);
    std::map<std::string, std::string> report = ReadReport(dir + "plain.txt");
    EXPECT_EQ(report["startflags"], std::to_string(STARTF_USESHOWWINDOW));
    EXPECT_EQ(report["stdout"], "0");

    // A document is not handed to the shell.
    for (uint32_t flag : {LAUNCH_PIPE_OUTPUT, LAUNCH_PIPE_INPUT, LAUNCH_PIPE_ERROR, LAUNCH_CONNECT}) {
        std::string document = MakeDocument(dir + "doc" + std::to_string(flag) + kDocumentExtension, 0);
        EXPECT_EQ(LaunchProgram(document.c_str(), nullptr, nullptr, LAUNCH_WAIT | flag), 0u) << flag;
        EXPECT_EQ(LaunchProgram(document.c_str(), nullptr, nullptr, LAUNCH_WAIT | LAUNCH_KEEP_RECORD | flag), 0u)
            << flag;
    }
    Sleep(1000);
    for (uint32_t flag : {LAUNCH_PIPE_OUTPUT, LAUNCH_PIPE_INPUT, LAUNCH_PIPE_ERROR, LAUNCH_CONNECT})
        EXPECT_FALSE(PathExists(dir + "doc" + std::to_string(flag) + kDocumentExtension + ".out")) << flag;
}

TEST(LaunchShell, OpensDocumentsInTheirOwnDirectoryAndWaitsForThem) {
    std::string dir = MakeScratchDirectory("launch_shell");
    CreateDirectoryA((dir + "sub").c_str(), nullptr);

    // The wait applies to the program that the shell started; an empty
    // working directory is none.
    std::string document = MakeDocument(dir + "sub\\slow" + kDocumentExtension, 1500);
    ASSERT_EQ(LaunchProgram(document.c_str(), "", "", LAUNCH_WAIT), 1u);
    ASSERT_TRUE(PathExists(document + ".out"));
    std::map<std::string, std::string> report = ReadReport(document + ".out");
    EXPECT_EQ(WithoutTrailingBackslash(report["cwd"]), dir + "sub");
    EXPECT_EQ(report["show"], std::to_string(SW_SHOWNORMAL));
    std::string missing = MakeDocument(dir + "sub\\missing" + kDocumentExtension, 0);
    ASSERT_EQ(LaunchProgram(missing.c_str(), nullptr, nullptr, LAUNCH_WAIT), 1u);
    EXPECT_EQ(WithoutTrailingBackslash(ReadReport(missing + ".out")["cwd"]), dir + "sub");

    // A working directory that is given wins.
    std::string elsewhere = MakeDocument(dir + "sub\\given" + kDocumentExtension, 0);
    ASSERT_EQ(LaunchProgram(elsewhere.c_str(), "", dir.c_str(), LAUNCH_WAIT), 1u);
    EXPECT_EQ(WithoutTrailingBackslash(ReadReport(elsewhere + ".out")["cwd"]), WithoutTrailingBackslash(dir));

    // Only backslashes separate the directory.
    std::string slashed = MakeDocument(dir + "sub\\slash" + kDocumentExtension, 0);
    std::string slashedText = dir + "sub/slash" + kDocumentExtension;
    ASSERT_EQ(LaunchProgram(slashedText.c_str(), nullptr, nullptr, LAUNCH_WAIT), 1u);
    EXPECT_EQ(WithoutTrailingBackslash(ReadReport(slashed + ".out")["cwd"]), WithoutTrailingBackslash(dir));

    // Hidden through the shell too.
    std::string hidden = MakeDocument(dir + "hidden" + kDocumentExtension, 0);
    ASSERT_EQ(LaunchProgram(hidden.c_str(), nullptr, nullptr, LAUNCH_WAIT | LAUNCH_HIDE), 1u);
    EXPECT_EQ(ReadReport(hidden + ".out")["show"], std::to_string(SW_HIDE));
}

TEST(LaunchShell, KeepsARecordWithoutProcessIdOrPipes) {
    std::string dir = MakeScratchDirectory("launch_shell_record");
    std::string document = MakeDocument(dir + "kept" + kDocumentExtension, 1000);
    const ProgramRecord* record = Launched(LaunchProgram(document.c_str(), nullptr, nullptr, LAUNCH_KEEP_RECORD));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->processId, 0xFFFFFFFFu);
    EXPECT_EQ(record->inputPipe, nullptr);
    EXPECT_EQ(record->outputPipe, nullptr);
    EXPECT_EQ(record->errorPipe, nullptr);
    ASSERT_TRUE(record->process);
    EXPECT_EQ(ExitCodeAfterWaiting(record->process), 0u);
    EXPECT_TRUE(PathExists(document + ".out"));
    CloseHandle(record->process);
}

TEST(LaunchFailure, NothingToStartGivesZero) {
    EXPECT_EQ(LaunchProgram("C:\\no such directory\\nothing.exe", nullptr, nullptr, LAUNCH_WAIT), 0u);
    EXPECT_EQ(LaunchProgram("C:\\no such directory\\nothing.exe", "x", nullptr, LAUNCH_KEEP_RECORD), 0u);
    EXPECT_EQ(LaunchProgram(nullptr, nullptr, nullptr, LAUNCH_KEEP_RECORD | LAUNCH_PIPE_OUTPUT), 0u);
}

// Every launch closes what it opened, or hands it over in its record.
TEST(LaunchFailure, LeavesNoHandleOpen) {
    std::string dir = MakeScratchDirectory("launch_handles");
    std::string document = MakeDocument(dir + "doc" + kDocumentExtension, 0);
    auto launchAll = [&] {
        LaunchProgram(ProbePath().c_str(), ("sleep 0 " + Quoted(dir + "slept")).c_str(), nullptr, LAUNCH_WAIT);
        LaunchProgram(document.c_str(), nullptr, nullptr, LAUNCH_WAIT);
        LaunchProgram("C:\\no such directory\\nothing.exe", nullptr, nullptr,
                      LAUNCH_KEEP_RECORD | LAUNCH_PIPE_INPUT | LAUNCH_PIPE_OUTPUT | LAUNCH_PIPE_ERROR);
        uintptr_t kept = LaunchProgram(ProbePath().c_str(), "upper", nullptr,
                                       LAUNCH_KEEP_RECORD | LAUNCH_PIPE_INPUT | LAUNCH_PIPE_OUTPUT | LAUNCH_PIPE_ERROR);
        if (kept > 1) {
            const ProgramRecord* record = (const ProgramRecord*)kept;
            CloseHandle(record->inputPipe);
            ReadToEnd(record->outputPipe);
            WaitForSingleObject(record->process, 30000);
            CloseHandle(record->outputPipe);
            CloseHandle(record->errorPipe);
            CloseHandle(record->process);
        }
    };
    launchAll();   // the first round loads what the shell needs
    int before = CountOpenHandles();
    launchAll();
    EXPECT_EQ(CountOpenHandles(), before);
}
