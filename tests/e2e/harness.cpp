#include "harness.h"

#include <fcntl.h>
#include <sys/personality.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "archive/crc32.h"

namespace fs = std::filesystem;

static void PutText(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

Bytes MakeEntryStream(const std::string& target, const std::vector<EntrySpec>& entries, bool withEnd) {
    Bytes out;
    PutText(out, target);
    for (const EntrySpec& entry : entries) {
        AppendUint32(&out, (uint32_t)entry.sizeCode);
        PutText(out, entry.name);
        out.insert(out.end(), entry.data.begin(), entry.data.end());
    }
    if (withEnd) AppendUint32(&out, (uint32_t)-1);
    return out;
}

EntrySpec FileEntry(const std::string& name, const std::string& data) { return {name, (int32_t)data.size(), data}; }
EntrySpec DirectoryEntry(const std::string& name) { return {name, -2, ""}; }

Bytes MakeArchive(const Bytes& entryStream, const Bytes& storedBlock) {
    Bytes out;
    AppendUint32(&out, (uint32_t)entryStream.size());
    AppendUint32(&out, (uint32_t)storedBlock.size());
    AppendUint32(&out, Crc32Fingerprint(entryStream.data(), (uint32_t)entryStream.size()));
    out.insert(out.end(), storedBlock.begin(), storedBlock.end());
    return out;
}

Bytes MakeStoredArchive(const Bytes& entryStream) { return MakeArchive(entryStream, entryStream); }

std::string WinePrefix() {
    const char* prefix = getenv("SFX_WINEPREFIX");
    return prefix ? prefix : SFX_SOURCE_DIR "/build/wineprefix";
}

std::string DriveC() { return WinePrefix() + "/drive_c"; }
std::string StubPath() { return SFX_SOURCE_DIR "/dist/sfxstub.exe"; }

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadFileText(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

bool Exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string FreshScratch(const std::string& testName) {
    std::string scratch = DriveC() + "/e2e/" + testName;
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    return scratch;
}

static void EnsurePrefix() {
    static bool ready = false;
    if (ready) return;
    std::string command = "SFX_WINEPREFIX='" + WinePrefix() + "' " SFX_SOURCE_DIR "/scripts/wine-prefix";
    if (system(command.c_str()) != 0) throw std::runtime_error("cannot prepare the Wine prefix");
    ready = true;
}

// Wine's relay trace quotes the string arguments of each MessageBoxA call.
static std::vector<MessageBoxCall> FindMessageBoxes(const std::string& log) {
    static const std::regex call(
        R"re(Call user32\.MessageBoxA\([0-9a-f]+,[0-9a-f]+ "((?:[^"\\]|\\.)*)",[0-9a-f]+ "((?:[^"\\]|\\.)*)",([0-9a-f]+)\))re");
    std::vector<MessageBoxCall> boxes;
    for (std::sregex_iterator it(log.begin(), log.end(), call), end; it != end; ++it)
        boxes.push_back({(*it)[2], (*it)[1], (uint32_t)std::stoul((*it)[3], nullptr, 16)});
    return boxes;
}

// Starts a Windows program under Wine in the test prefix, in the working
// directory when one is given; its output goes to the log file, never a pipe
// (Wine's background processes would hold a pipe open).
static pid_t StartWine(const std::vector<std::string>& arguments, const std::string& logPath, const char* debug,
                       const std::string& workingDirectory = "", const std::string& dllOverrides = "") {
    std::vector<char*> argv = {(char*)"wine"};
    for (const std::string& argument : arguments) argv.push_back((char*)argument.c_str());
    argv.push_back(nullptr);
    std::string prefix = WinePrefix();
    pid_t child = fork();
    if (child == 0) {
        int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int none = open("/dev/null", O_RDONLY);
        dup2(none, 0);
        dup2(log, 1);
        dup2(log, 2);
        if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(127);
        setenv("WINEPREFIX", prefix.c_str(), 1);
        setenv("WINEDEBUG", debug, 1);
        unsetenv("DISPLAY");
        if (!dllOverrides.empty()) setenv("WINEDLLOVERRIDES", dllOverrides.c_str(), 1);
        personality(ADDR_NO_RANDOMIZE);   // see scripts/wine-prefix
        setenv("LC_ALL", "C.UTF-8", 1);   // Wine reads the folders' UTF-8 names in the locale's encoding
        execvp("wine", argv.data());
        _exit(127);
    }
    return child;
}

InstallerRun RunInstallerFile(const std::string& installerPath, const std::string& workingDirectory,
                              const std::string& dllOverrides) {
    EnsurePrefix();
    InstallerRun run;
    run.scratch = workingDirectory;
    std::string logPath = workingDirectory + ".log";
    pid_t child = StartWine({installerPath}, logPath, "+relay", workingDirectory, dllOverrides);
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.log = ReadFileText(logPath);
    run.boxes = FindMessageBoxes(run.log);
    return run;
}

std::string WriteInstaller(const std::string& directory, const Bytes& archive) {
    Bytes installer = ReadFileBytes(StubPath());
    installer.insert(installer.end(), archive.begin(), archive.end());
    WriteFileBytes(directory + "/installer.exe", installer);
    return directory + "/installer.exe";
}

InstallerRun RunInstaller(const Bytes& archive, const std::string& testName) {
    std::string scratch = FreshScratch(testName);
    return RunInstallerFile(WriteInstaller(scratch, archive), scratch);
}

int RunPack(const std::vector<std::string>& arguments, const std::string& log) {
    std::string command = "'" SFX_SOURCE_DIR "/dist/sfxpack'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    command += " >'" + log + "' 2>&1";
    int status = system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const char* const kProbeWindowsPath = "C:\\e2e\\tools\\probe.exe";

EntrySpec ControlFileEntry(const std::string& program, const std::string& name, const std::string& icon,
                           const std::string& command) {
    return FileEntry("$$$.$$$", program + "\r\n" + name + "\r\n" + icon + "\r\n" + command + "\r\n");
}

std::string ProbeOut() { return DriveC() + "/e2e/out"; }

static void RunWineQuietly(const std::string& arguments) {
    std::string command = "WINEPREFIX='" + WinePrefix() + "' WINEDEBUG=-all DISPLAY= setarch -R wine " + arguments +
                          " </dev/null >>'" + WinePrefix() + ".log' 2>&1";
    if (system(command.c_str()) != 0) throw std::runtime_error("wine failed: " + arguments);
}

void PrepareProbe() {
    EnsurePrefix();
    static bool registered = false;
    fs::create_directories(DriveC() + "/e2e/tools");
    fs::copy_file(SFX_PROBE_PATH, DriveC() + "/e2e/tools/probe.exe", fs::copy_options::overwrite_existing);
    if (!registered) {
        RunWineQuietly("reg add 'HKCR\\.vbs' /ve /d SfxTestScript /f");
        RunWineQuietly("reg add 'HKCR\\SfxTestScript\\shell\\open\\command' /ve /d "
                       "'\"C:\\e2e\\tools\\probe.exe\" script \"%1\"' /f");
        registered = true;
    }
    fs::remove_all(ProbeOut());
    fs::create_directories(ProbeOut());
}

bool WaitForFile(const std::string& path, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        if (Exists(path)) return true;
        usleep(50 * 1000);
    }
    return Exists(path);
}

HeldFile::HeldFile(const std::string& hostPath) : hostPath_(hostPath), holder_(-1), held_(false) {
    holder_ = StartWine({kProbeWindowsPath, "hold", WindowsPath(hostPath)}, hostPath + ".holder.log", "-all");
    held_ = holder_ > 0 && WaitForFile(hostPath + ".held", kStartedProgramPatienceMs);
}

HeldFile::~HeldFile() {
    WriteFileBytes(hostPath_ + ".release", {});
    if (holder_ > 0) waitpid(holder_, nullptr, 0);
    for (const char* suffix : {".held", ".release", ".holder.log"}) fs::remove(hostPath_ + suffix);
}

std::string DesktopDirectory() {
    for (const fs::directory_entry& user : fs::directory_iterator(DriveC() + "/users"))
        if (user.path().filename() != "Public" && fs::is_directory(user.path() / "Desktop"))
            return (user.path() / "Desktop").string();
    return DriveC() + "/users/no-desktop";
}

ShellLink ReadShellLink(const std::string& path) {
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

std::string WindowsPath(const std::string& hostPath) {
    std::string relative = hostPath.substr(DriveC().size());
    for (char& c : relative)
        if (c == '/') c = '\\';
    return "C:" + relative;
}

std::vector<std::string> SplitCrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start) + "<no CR LF>");
    return lines;
}

static void ExpectErrorBox(const InstallerRun& run, const char* text, int exitCode) {
    EXPECT_EQ(run.exitCode, exitCode) << run.log;
    ASSERT_EQ(run.boxes.size(), 1u) << run.log;
    EXPECT_EQ(run.boxes[0].caption, "Greska");
    EXPECT_EQ(run.boxes[0].text, text);
    EXPECT_EQ(run.boxes[0].type, 0u);
}

void ExpectInvalidArchive(const InstallerRun& run) { ExpectErrorBox(run, "Neispravna sfx arhiva!", 255); }

void ExpectInstallFailed(const InstallerRun& run) { ExpectErrorBox(run, "Instalacija nije uspjela!", 1); }
