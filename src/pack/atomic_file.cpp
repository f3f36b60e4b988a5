#include "pack/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

// The temporary file in flight, for the signal handler (which may only unlink).
static char temporaryInFlight[PATH_MAX];
static const int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

static void RemoveTemporaryAndDie(int signalNumber) {
    if (temporaryInFlight[0]) unlink(temporaryInFlight);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

static void ReleaseSignals() {
    for (int signalNumber : CLEANUP_SIGNALS) signal(signalNumber, SIG_DFL);
    temporaryInFlight[0] = 0;
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

std::string BeginPendingFile(const std::string& path, PendingFile* file) {
    *file = PendingFile();
    file->path = path;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return path + ": is a directory";
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    temporaryInFlight[0] = 0;
    for (int signalNumber : CLEANUP_SIGNALS) signal(signalNumber, RemoveTemporaryAndDie);
    file->descriptor = mkstemp(name.data());
    if (file->descriptor < 0) {
        std::string problem = path + ": cannot create a file beside it: " + strerror(errno);
        ReleaseSignals();
        return problem;
    }
    strncpy(temporaryInFlight, name.data(), sizeof(temporaryInFlight) - 1);
    file->temporaryPath = name.data();
    fstat(file->descriptor, &info);
    file->device = info.st_dev;
    file->inode = info.st_ino;
    return "";
}

void AbandonPendingFile(PendingFile* file) {
    if (file->descriptor >= 0) close(file->descriptor);
    if (!file->temporaryPath.empty()) unlink(file->temporaryPath.c_str());
    file->descriptor = -1;
    file->temporaryPath.clear();
    ReleaseSignals();
}

std::string FinishPendingFile(PendingFile* file, const std::vector<const std::vector<uint8_t>*>& parts) {
    std::string problem;
    if (fchmod(file->descriptor, DefaultFileMode()) != 0) problem = std::string("cannot set permissions: ") + strerror(errno);
    for (const std::vector<uint8_t>* part : parts)
        if (problem.empty() && !WriteAll(file->descriptor, part->data(), part->size()))
            problem = std::string("cannot write: ") + strerror(errno);
    if (problem.empty() && fsync(file->descriptor) != 0) problem = std::string("cannot write: ") + strerror(errno);
    if (close(file->descriptor) != 0 && problem.empty()) problem = std::string("cannot write: ") + strerror(errno);
    file->descriptor = -1;
    if (problem.empty() && rename(file->temporaryPath.c_str(), file->path.c_str()) != 0)
        problem = std::string("cannot rename the finished file to it: ") + strerror(errno);
    if (problem.empty()) file->temporaryPath.clear();   // it is the file now
    AbandonPendingFile(file);
    return problem.empty() ? "" : file->path + ": " + problem;
}
