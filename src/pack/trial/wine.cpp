#include "pack/trial/wine.h"

#include "platform/platform.h"

namespace {

const char* const WINE_PACKAGES =
    "install the Debian packages wine and wine32:i386 (after dpkg --add-architecture i386 and apt-get update), "
    "then check with wine --version";

// Every Wine process starts with a fixed address-space layout (setarch -R):
// Debian's loader sits at a fixed address, and a heap placed at random above
// it now and then takes the address of Windows' shared data, so that about
// one start in two thousand ends at once, with exit code 1 and no output.
ProgramStart WineStart(const WinePrefix& prefix, const char* program, const std::vector<std::string>& arguments,
                       const std::string& debug) {
    ProgramStart start;
    start.program = "setarch";
    start.arguments = {"-R", program};
    start.arguments.insert(start.arguments.end(), arguments.begin(), arguments.end());
    // No display (a message box returns at once), and nothing of the user's
    // Wine settings that would change what the installer meets.
    start.environment = {"WINEPREFIX=" + prefix.path, "WINEDEBUG=" + debug, "LC_ALL=C.UTF-8", "DISPLAY",
                         "WAYLAND_DISPLAY",           "WINEDLLOVERRIDES",   "WINEARCH"};
    start.outputPath = prefix.logPath;
    return start;
}

// The log as it stands; empty when it cannot be read.
std::string LogText(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (ReadWholeFile(path, &bytes)) return "";
    return std::string(bytes.begin(), bytes.end());
}

Problem RunToEnd(ProgramStart start, int64_t seconds, int* exitCode, bool interruptible = true) {
    RunningProgram program;
    Problem problem = SpawnProgram(start, &program);
    if (problem) return problem;
    std::string name = start.arguments[1] + (start.arguments.size() > 2 ? " " + start.arguments[2] : "");
    switch (WaitForProgram(&program, seconds * 1000, interruptible, exitCode)) {
    case PROGRAM_ENDED:
        return {};
    case PROGRAM_RUNNING:
        StopProgram(&program);
        return name + " did not end within " + std::to_string(seconds) + " s";
    case PROGRAM_WAIT_INTERRUPTED:
        StopProgram(&program);
        return name + " was interrupted";
    }
    return {};
}

}   // namespace

Problem MissingWineProblem() {
    for (const char* program : {"wine", "wineserver"})
        if (FindProgram(program).empty()) return std::string(program) + " is not installed: " + WINE_PACKAGES;
    if (FindProgram("setarch").empty()) return "setarch is not installed: " + HowToInstallProgram("util-linux");
    return {};
}

std::string Wine32BitProblem(const std::string& why) {
    return "Wine cannot start 32-bit programs (" + why + "): " + WINE_PACKAGES;
}

Problem ReadWineVersion(const WinePrefix& prefix, std::string* version) {
    ProgramStart start = WineStart(prefix, "wine", {"--version"}, "-all");
    size_t before = LogText(prefix.logPath).size();
    int exitCode = 0;
    Problem problem = RunToEnd(start, WINE_STEP_SECONDS, &exitCode);
    if (problem) return problem;
    std::string log = LogText(prefix.logPath);
    size_t found = log.find("wine-", before);
    if (exitCode != 0 || found == std::string::npos) return "wine --version failed: see " + prefix.logPath;
    *version = log.substr(found, log.find('\n', found) - found);
    return {};
}

Problem StartWine(const WinePrefix& prefix, const std::vector<std::string>& arguments, const std::string& directory,
                  const std::string& debug, RunningProgram* program) {
    ProgramStart start = WineStart(prefix, "wine", arguments, debug);
    start.directory = directory;
    return SpawnProgram(start, program);
}

Problem RunWine(const WinePrefix& prefix, const std::vector<std::string>& arguments, int64_t seconds, int* exitCode) {
    return RunToEnd(WineStart(prefix, "wine", arguments, "-all"), seconds, exitCode);
}

Problem StartWineServer(const WinePrefix& prefix) {
    int exitCode = 0;
    Problem problem = RunToEnd(WineStart(prefix, "wineserver", {"-p"}, "-all"), WINE_STEP_SECONDS, &exitCode);
    if (!problem && exitCode != 0) problem = "wineserver -p failed: see " + prefix.logPath;
    return problem;
}

// -k ends the server and every process of the prefix; -w waits until it has
// gone. Also after an interrupt, which it cleans up after.
void StopWineServer(const WinePrefix& prefix) {
    int exitCode = 0;
    (void)RunToEnd(WineStart(prefix, "wineserver", {"-k"}, "-all"), WINE_STEP_SECONDS, &exitCode, false);
    (void)RunToEnd(WineStart(prefix, "wineserver", {"-w"}, "-all"), WINE_STEP_SECONDS, &exitCode, false);
}
