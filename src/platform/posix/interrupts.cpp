// Removing registered files on SIGINT, SIGTERM and SIGHUP. The handler may
// only kill, wait and unlink, so the names are kept in fixed arrays.
#include "platform/posix/interrupts.h"

#include <limits.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "platform/platform.h"

static char filesToRemove[MAX_FILES_REMOVED_ON_INTERRUPT][PATH_MAX];
static volatile pid_t processToKill = 0;
static const int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

static void RemoveFilesAndDie(int signalNumber) {
    pid_t process = processToKill;
    if (process > 0) {
        kill(process, SIGKILL);
        waitpid(process, nullptr, 0);
    }
    for (char* path : filesToRemove)
        if (path[0]) unlink(path);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

static bool AnyRegistered() {
    for (char* path : filesToRemove)
        if (path[0]) return true;
    return false;
}

int RemoveOnInterrupt(const std::string& path) {
    for (int slot = 0; slot < MAX_FILES_REMOVED_ON_INTERRUPT; ++slot) {
        if (filesToRemove[slot][0]) continue;
        if (!AnyRegistered())
            for (int signalNumber : CLEANUP_SIGNALS) signal(signalNumber, RemoveFilesAndDie);
        strncpy(filesToRemove[slot], path.c_str(), PATH_MAX - 1);
        return slot;
    }
    return -1;
}

void ForgetOnInterrupt(int slot) {
    if (slot < 0) return;
    filesToRemove[slot][0] = 0;
    if (!AnyRegistered())
        for (int signalNumber : CLEANUP_SIGNALS) signal(signalNumber, SIG_DFL);
}

void KillOnInterrupt(pid_t process) { processToKill = process; }
