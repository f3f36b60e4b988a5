#include "pack_testing.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/personality.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

std::string MakeScratch(const std::string& label) {
    std::string pattern = fs::temp_directory_path().string() + "/sfxpack-" + label + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) abort();
    chmod(name.data(), 0755);
    return name.data();
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PathExists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> ListTree(const std::string& root) {
    std::vector<std::string> paths;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        std::string relative = fs::relative(entry.path(), root).string();
        paths.push_back(entry.is_directory() ? relative + "/" : relative);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string CompareTrees(const std::string& expected, const std::string& actual) {
    std::vector<std::string> expectedPaths = ListTree(expected), actualPaths = ListTree(actual);
    if (expectedPaths != actualPaths) {
        std::string listing = "paths differ; expected:";
        for (const std::string& path : expectedPaths) listing += " " + path;
        listing += "; actual:";
        for (const std::string& path : actualPaths) listing += " " + path;
        return listing;
    }
    for (const std::string& path : expectedPaths)
        if (path.back() != '/' && ReadBytes(expected + "/" + path) != ReadBytes(actual + "/" + path))
            return "contents differ: " + path;
    return "";
}

Bytes FakeStub() {
    Bytes stub(STUB_SIZE, 0);
    stub[0] = 'M';
    stub[1] = 'Z';
    stub[PE_HEADER_POINTER] = FAKE_STUB_PE_HEADER;
    stub[0x80] = 'P';
    stub[0x81] = 'E';
    stub[0x84] = 0x4C;   // i386
    stub[0x85] = 0x01;
    stub[0x94] = 0xE0;   // a PE32 optional header with 16 data directory entries, so that it can be signed
    stub[0x98] = 0x0B;
    stub[0x99] = 0x01;
    stub[0xF4] = 16;
    return stub;
}

std::string PackProgram() {
    const char* underWine = getenv("SFXPACK_UNDER_WINE");
    return underWine && underWine[0] ? SFXPACK_EXE_PATH : SFXPACK_PATH;
}

static bool IsWindowsProgram(const std::string& program) {
    return program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}

bool PackRunsUnderWine() { return IsWindowsProgram(PackProgram()); }

std::string PathAsTheProgramSeesIt(const std::string& hostPath) {
    if (!PackRunsUnderWine()) return hostPath;
    std::string path = "Z:" + hostPath;   // Wine's drive for the host's root
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

std::string MissingFileText() { return PackRunsUnderWine() ? "File not found" : "No such file or directory"; }
std::string AccessDeniedText() { return PackRunsUnderWine() ? "Access denied" : "Permission denied"; }

uint32_t PeChecksumOf(const Bytes& file, size_t checksumOffset) {
    uint32_t sum = 0;
    for (size_t at = 0; at < file.size(); at += 2) {
        bool inField = at >= checksumOffset && at < checksumOffset + 4;
        uint32_t word = inField ? 0 : file[at] | (at + 1 < file.size() ? file[at + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + (uint32_t)file.size();
}

uid_t UnprivilegedUser() { return geteuid() == 0 ? 65534 : 0; }

static std::string ReadText(const std::string& path) {
    Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

static bool HoldsNothing(const std::string& directory) {
    std::error_code error;   // a missing directory holds nothing yet
    return fs::directory_iterator(directory, error) == fs::directory_iterator();
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments, uid_t asUser,
                      int signalNumber, const std::string& signalOnceIn) {
    std::string outputs = MakeScratch("run");
    std::string outPath = outputs + "/out", errPath = outputs + "/err";
    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(out, 1);
        dup2(err, 2);
        if (asUser && (setgid(asUser) != 0 || setuid(asUser) != 0)) _exit(126);
        std::vector<std::string> line = arguments;
        line.insert(line.begin(), program);
        if (IsWindowsProgram(program)) {   // in the tests' prefix, whose wineserver the fixture started
            line.insert(line.begin(), SFX_WINE64_PATH);
            setenv("WINEPREFIX", SFX_WINEPREFIX_PATH, 1);
            setenv("WINEDEBUG", "-all", 1);
            unsetenv("DISPLAY");              // a console program: no desktop window to start
            personality(ADDR_NO_RANDOMIZE);   // see scripts/wine-prefix
            setenv("LC_ALL", "C.UTF-8", 1);   // Wine reads the arguments, UTF-8 here, in the locale's encoding
        }
        std::vector<char*> argv;
        for (const std::string& argument : line) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    // The signal goes once the run has got as far as the test is about, seen
    // by what it makes in signalOnceIn: a time would be too short on a busy
    // machine and too long on a fast one.
    int status = 0;
    struct rusage usage = {};
    bool ended = false;
    if (signalNumber) {
        while (!(ended = wait4(child, &status, WNOHANG, &usage) == child) && HoldsNothing(signalOnceIn))
            usleep(5 * 1000);
        if (!ended) kill(child, signalNumber);
    }
    if (!ended) wait4(child, &status, 0, &usage);
    ProgramRun run;
    run.peakKilobytes = usage.ru_maxrss;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadText(outPath);
    run.err = ReadText(errPath);
    RemoveTree(outputs);
    return run;
}

ProgramRun RunPack(const std::vector<std::string>& arguments, uid_t asUser) {
    return RunProgram(PackProgram(), arguments, asUser);
}
