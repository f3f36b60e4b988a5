#include "pack/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

// The temporary files in flight, for the signal handler (which may only kill,
// wait and unlink): the installer and, while it is signed, its signed copy.
static const int MAX_PENDING_FILES = 2;
static char temporariesInFlight[MAX_PENDING_FILES][PATH_MAX];
static volatile pid_t writerInFlight = 0;
static const int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

static void RemoveTemporariesAndDie(int signalNumber) {
    pid_t writer = writerInFlight;
    if (writer > 0) {
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
    }
    for (char* temporary : temporariesInFlight)
        if (temporary[0]) unlink(temporary);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

static bool AnyInFlight() {
    for (char* temporary : temporariesInFlight)
        if (temporary[0]) return true;
    return false;
}

static int FreeSlot() {
    for (int slot = 0; slot < MAX_PENDING_FILES; ++slot)
        if (!temporariesInFlight[slot][0]) return slot;
    return -1;
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
    int slot = FreeSlot();
    if (slot < 0) return path + ": internal error: too many files pending";
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!AnyInFlight())
        for (int signalNumber : CLEANUP_SIGNALS) signal(signalNumber, RemoveTemporariesAndDie);
    file->descriptor = mkstemp(name.data());
    if (file->descriptor < 0) {
        std::string problem = path + ": cannot create a file beside it: " + strerror(errno);
        AbandonPendingFile(file);
        return problem;
    }
    strncpy(temporariesInFlight[slot], name.data(), PATH_MAX - 1);
    file->slot = slot;
    file->temporaryPath = name.data();
    fstat(file->descriptor, &info);
    file->device = info.st_dev;
    file->inode = info.st_ino;
    return "";
}

std::string BeginPendingName(const std::string& path, PendingFile* file) {
    std::string problem = BeginPendingFile(path, file);
    if (!problem.empty()) return problem;
    close(file->descriptor);
    file->descriptor = -1;
    unlink(file->temporaryPath.c_str());
    return "";
}

void AbandonPendingFile(PendingFile* file) {
    if (file->descriptor >= 0) close(file->descriptor);
    if (!file->temporaryPath.empty()) unlink(file->temporaryPath.c_str());
    file->descriptor = -1;
    file->temporaryPath.clear();
    if (file->slot >= 0) temporariesInFlight[file->slot][0] = 0;
    file->slot = -1;
    if (!AnyInFlight())
        for (int signalNumber : CLEANUP_SIGNALS) signal(signalNumber, SIG_DFL);
}

std::string WritePendingFile(PendingFile* file, const std::vector<const std::vector<uint8_t>*>& parts) {
    std::string problem;
    if (fchmod(file->descriptor, DefaultFileMode()) != 0) problem = std::string("cannot set permissions: ") + strerror(errno);
    for (const std::vector<uint8_t>* part : parts)
        if (problem.empty() && !WriteAll(file->descriptor, part->data(), part->size()))
            problem = std::string("cannot write: ") + strerror(errno);
    if (problem.empty() && fsync(file->descriptor) != 0) problem = std::string("cannot write: ") + strerror(errno);
    if (close(file->descriptor) != 0 && problem.empty()) problem = std::string("cannot write: ") + strerror(errno);
    file->descriptor = -1;
    if (problem.empty()) return "";
    AbandonPendingFile(file);
    return file->path + ": " + problem;
}

std::string CommitPendingFile(PendingFile* file) {
    std::string problem;
    if (rename(file->temporaryPath.c_str(), file->path.c_str()) != 0)
        problem = file->path + ": cannot rename the finished file to it: " + strerror(errno);
    if (problem.empty()) file->temporaryPath.clear();   // it is the file now
    AbandonPendingFile(file);
    return problem;
}

std::string FinishPendingFile(PendingFile* file, const std::vector<const std::vector<uint8_t>*>& parts) {
    std::string problem = WritePendingFile(file, parts);
    return problem.empty() ? CommitPendingFile(file) : problem;
}

void SetPendingFileWriter(pid_t process) { writerInFlight = process; }
