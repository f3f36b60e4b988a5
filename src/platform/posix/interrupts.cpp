// Removing registered files on SIGINT, SIGTERM and SIGHUP. The handler may
// only kill, wait and unlink, so the names are kept in fixed arrays.
#include "platform/posix/interrupts.h"

#include <limits.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "platform/platform.h"

static char filesToRemove[MAX_FILES_REMOVED_ON_INTERRUPT][PATH_MAX];
static volatile pid_t processToKill = 0;
static const int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
// Set while a thread, which blocks the signals meanwhile, makes and registers
// a file: a handler on any other thread waits for it.
static volatile sig_atomic_t deferring = 0;
static sigset_t deferredSignals, signalsBefore;

static void RemoveFilesAndDie(int signalNumber) {
    while (deferring) {
    }
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

void InterruptSignals(sigset_t* signals) {
    sigemptyset(signals);
    for (int signalNumber : CLEANUP_SIGNALS) sigaddset(signals, signalNumber);
}

void DeferInterrupts() {
    InterruptSignals(&deferredSignals);
    pthread_sigmask(SIG_BLOCK, &deferredSignals, &signalsBefore);
    deferring = 1;
}

// A signal that came meanwhile is delivered as the mask is put back.
void ResumeInterrupts() {
    deferring = 0;
    pthread_sigmask(SIG_SETMASK, &signalsBefore, nullptr);
}

static volatile sig_atomic_t caughtSignal = 0;

static void NoteInterrupt(int signalNumber) { caughtSignal = signalNumber; }

void CatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;   // no SA_RESTART: a wait returns, to look at the mark
    for (int signalNumber : CLEANUP_SIGNALS) sigaction(signalNumber, &action, nullptr);
}

bool InterruptCaught() { return caughtSignal != 0; }

void EndAsInterrupted() {
    int signalNumber = caughtSignal ? (int)caughtSignal : SIGINT;
    signal(signalNumber, SIG_DFL);
    sigset_t signals;
    InterruptSignals(&signals);
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);
}
