// Removing registered files on Ctrl-C, Ctrl-Break and the closing of the
// console. The system runs the handler on a thread of its own while the main
// thread goes on, so the names are kept ready in fixed arrays, already wide.
#include "platform/windows/interrupts.h"

#include <atomic>

#include "platform/platform.h"
#include "platform/windows/wide_text.h"

static const size_t LONGEST_PATH = 32768;
static wchar_t filesToRemove[MAX_FILES_REMOVED_ON_INTERRUPT][LONGEST_PATH];
static HANDLE volatile processToKill = nullptr;
// Held while a file is made and registered: the handler's thread waits for it.
static SRWLOCK makingFile = SRWLOCK_INIT;

static BOOL WINAPI RemoveFilesAndEnd(DWORD) {
    AcquireSRWLockExclusive(&makingFile);   // kept: the process ends below
    HANDLE process = processToKill;
    if (process) {
        TerminateProcess(process, STATUS_CONTROL_C_EXIT);
        WaitForSingleObject(process, 5000);
    }
    for (wchar_t* path : filesToRemove)
        if (path[0]) DeleteFileW(path);   // a file still open goes when the process ends
    RestoreConsole();
    // As the system's own handler would end it after Ctrl-C (Wine's ends it with 0).
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

int RemoveOnInterrupt(const std::string& path) {
    std::wstring wide = WidePath(path);
    if (wide.empty() || wide.size() >= LONGEST_PATH) return -1;
    for (int slot = 0; slot < MAX_FILES_REMOVED_ON_INTERRUPT; ++slot) {
        if (filesToRemove[slot][0]) continue;
        // The first character last: the handler never sees half a name, which
        // might be another file's.
        wchar_t* name = filesToRemove[slot];
        wide.copy(name + 1, wide.size() - 1, 1);
        name[wide.size()] = 0;
        std::atomic_thread_fence(std::memory_order_release);
        name[0] = wide[0];
        return slot;
    }
    return -1;
}

void ForgetOnInterrupt(int slot) {
    if (slot >= 0) filesToRemove[slot][0] = 0;
}

void KillOnInterrupt(HANDLE process) { processToKill = process; }

// The handler is in place before the first file is made: one that came only
// with the registration would leave a file made just before it to the
// system's own handler. With nothing registered it ends the process as that
// one would.
void DeferInterrupts() {
    static bool handling = false;
    if (!handling) handling = SetConsoleCtrlHandler(RemoveFilesAndEnd, TRUE);
    AcquireSRWLockExclusive(&makingFile);
}
void ResumeInterrupts() { ReleaseSRWLockExclusive(&makingFile); }

// Set by an interrupt once CatchInterrupts has taken the console's events.
static HANDLE interruptEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);

HANDLE InterruptEvent() { return interruptEvent; }

static BOOL WINAPI NoteInterrupt(DWORD) {
    SetEvent(interruptEvent);
    return TRUE;
}

void CatchInterrupts() { SetConsoleCtrlHandler(NoteInterrupt, TRUE); }

bool InterruptCaught() { return WaitForSingleObject(interruptEvent, 0) == WAIT_OBJECT_0; }

void EndAsInterrupted() {
    RestoreConsole();
    ExitProcess(STATUS_CONTROL_C_EXIT);
}
