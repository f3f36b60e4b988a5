#include "pack/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

// The temporary file in flight, for the signal handler (which may only unlink).
static char temporaryPath[PATH_MAX];
static const int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

static void RemoveTemporaryAndDie(int signalNumber) {
    if (temporaryPath[0]) unlink(temporaryPath);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

static void GuardTemporary() {
    temporaryPath[0] = 0;
    for (int signalNumber : CLEANUP_SIGNALS) signal(signalNumber, RemoveTemporaryAndDie);
}

static void ReleaseTemporary() {
    for (int signalNumber : CLEANUP_SIGNALS) signal(signalNumber, SIG_DFL);
    temporaryPath[0] = 0;
}

static bool WriteAll(int file, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(file, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= (size_t)written;
    }
    return true;
}

// A new file gets the usual permissions (mkstemp would leave it private).
static mode_t DefaultFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::string WriteFileAtomically(const std::string& path, const std::vector<const std::vector<uint8_t>*>& parts) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return path + ": is a directory";
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    GuardTemporary();
    int file = mkstemp(name.data());
    if (file < 0) {
        ReleaseTemporary();
        return path + ": cannot create a file beside it: " + strerror(errno);
    }
    strncpy(temporaryPath, name.data(), sizeof(temporaryPath) - 1);
    std::string problem;
    if (fchmod(file, DefaultFileMode()) != 0) problem = std::string("cannot set permissions: ") + strerror(errno);
    for (const std::vector<uint8_t>* part : parts)
        if (problem.empty() && !WriteAll(file, part->data(), part->size()))
            problem = std::string("cannot write: ") + strerror(errno);
    if (problem.empty() && fsync(file) != 0) problem = std::string("cannot write: ") + strerror(errno);
    if (close(file) != 0 && problem.empty()) problem = std::string("cannot write: ") + strerror(errno);
    if (problem.empty() && rename(name.data(), path.c_str()) != 0)
        problem = std::string("cannot rename the finished file to it: ") + strerror(errno);
    if (!problem.empty()) unlink(name.data());
    ReleaseTemporary();
    return problem.empty() ? "" : path + ": " + problem;
}
