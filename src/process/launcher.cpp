#include "process/launcher.h"

#include <windows.h>

#include <shellapi.h>
#include <string.h>

#include "files/object_table.h"
#include "support/heap.h"

static_assert(sizeof(STARTUPINFOA) == 68 && sizeof(SHELLEXECUTEINFOA) == 60, "32-bit layouts expected");

enum { STREAM_COUNT = 3 };   // standard input, output, error, in this order everywhere

// Launched programs by number, one process handle each, which the release
// action closes. No launch adds to it: callers get records from the list below.
static ObjectTable* programTable;
// Records handed to callers, newest first; they live as long as the process.
static ListNode* programRecords;
static CRITICAL_SECTION programRecordsLock;

static void ReleaseProgram(int32_t number) {
    HANDLE* process = (HANDLE*)FindObject(programTable, number);
    if (!process) return;
    CloseHandle(*process);
    FreeObject(programTable, number);
}

void InitializeLauncher() {
    programTable = CreateObjectTable(sizeof(HANDLE), 4, ReleaseProgram);
    InitializeCriticalSection(&programRecordsLock);
}

static void CloseIfOpen(HANDLE handle) {
    if (handle) CloseHandle(handle);
}

// 0 when no copy can be made.
static HANDLE CopyHandle(HANDLE handle, BOOL inheritable) {
    HANDLE copy;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, inheritable,
                         DUPLICATE_SAME_ACCESS))
        return 0;
    return copy;
}

// Hands the program one inheritable end of a new pipe and returns the
// caller's end, made private so that programs started later do not inherit
// it (or left as it is when no copy can be made); 0 when no pipe can be made.
static HANDLE MakePipe(HANDLE* programEnd, BOOL programReads) {
    HANDLE ends[2];   // read, write
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), 0, TRUE};
    if (!CreatePipe(&ends[0], &ends[1], &inheritable, 0)) return 0;
    *programEnd = ends[programReads ? 0 : 1];
    HANDLE callerEnd = ends[programReads ? 1 : 0];
    HANDLE copy = CopyHandle(callerEnd, FALSE);
    if (!copy) return callerEnd;
    CloseHandle(callerEnd);
    return copy;
}

static ProgramRecord* AddProgramRecord() {
    EnterCriticalSection(&programRecordsLock);
    ProgramRecord* record = (ProgramRecord*)PushListNode(&programRecords, sizeof(ProgramRecord));
    LeaveCriticalSection(&programRecordsLock);
    return record;
}

static void DropProgramRecord(ProgramRecord* record) {
    EnterCriticalSection(&programRecordsLock);
    UnlinkListNode(&programRecords, record);
    LeaveCriticalSection(&programRecordsLock);
}

// Starts the program directly or, failing that and with no stream asked for,
// through the shell, and waits for it under LAUNCH_WAIT. Fills started and
// returns nonzero when something was started; every handle that started does
// not hold has been closed.
static int32_t StartProgram(Text program, Text parameters, Text workingDirectory, uint32_t flags,
                            const ProgramRecord* sender, char* commandLine, ProgramRecord* started) {
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = (flags & LAUNCH_HIDE) ? SW_HIDE : SW_SHOWNORMAL;
    DWORD creationFlags = (flags & LAUNCH_HIDE) ? NORMAL_PRIORITY_CLASS | DETACHED_PROCESS : NORMAL_PRIORITY_CLASS;

    // Pipes come only with a record that keeps the caller's ends.
    uint32_t pipes = (flags & LAUNCH_KEEP_RECORD) ? flags : 0;
    static const uint32_t PIPE_FLAGS[STREAM_COUNT] = {LAUNCH_PIPE_INPUT, LAUNCH_PIPE_OUTPUT, LAUNCH_PIPE_ERROR};
    HANDLE programEnds[STREAM_COUNT] = {0, 0, 0};
    HANDLE callerEnds[STREAM_COUNT] = {0, 0, 0};
    for (int32_t stream = 0; stream < STREAM_COUNT; stream++) {
        if (stream == 0 && (flags & LAUNCH_CONNECT) && sender && sender->outputPipe) {
            // The sender's end is private, so the program gets an inheritable
            // copy of it; the sender's record stays as it is.
            programEnds[0] = CopyHandle(sender->outputPipe, TRUE);
        } else if (pipes & PIPE_FLAGS[stream]) {
            callerEnds[stream] = MakePipe(&programEnds[stream], stream == 0);
        }
    }
    BOOL redirected = programEnds[0] || programEnds[1] || programEnds[2];
    if (redirected) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        creationFlags = NORMAL_PRIORITY_CLASS;
        startup.hStdInput = programEnds[0] ? programEnds[0] : GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = programEnds[1] ? programEnds[1] : GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = programEnds[2] ? programEnds[2] : GetStdHandle(STD_ERROR_HANDLE);
    }

    // A program text that starts with a quote is the caller's own quoting,
    // possibly with arguments after it; anything else is one name.
    Text quote = program[0] == '"' ? "" : "\"";
    strcpy(commandLine, quote);
    strcat(commandLine, program);
    strcat(commandLine, quote);
    if (*parameters) {
        strcat(commandLine, " ");
        strcat(commandLine, parameters);
    }

    PROCESS_INFORMATION process;
    BOOL created =
        CreateProcessA(0, commandLine, 0, 0, redirected, creationFlags, 0, workingDirectory, &startup, &process);
    for (int32_t stream = 0; redirected && stream < STREAM_COUNT; stream++) {
        CloseIfOpen(programEnds[stream]);
        if (!created) CloseIfOpen(callerEnds[stream]);
    }
    if (created) {
        CloseHandle(process.hThread);
        started->process = process.hProcess;
        started->processId = process.dwProcessId;
        started->inputPipe = callerEnds[0];
        started->outputPipe = callerEnds[1];
        started->errorPipe = callerEnds[2];
    } else {
        if (flags & LAUNCH_STREAM_FLAGS) return 0;
        // Documents open in their own directory unless one is given. The
        // command line is spent, and is long enough to hold that directory.
        Text directory = workingDirectory;
        for (int32_t at = (int32_t)strlen(program) - 1; !directory && at > 0; at--) {
            if (program[at] != '\\') continue;
            memcpy(commandLine, program, (uint32_t)at + 1);
            commandLine[at + 1] = 0;
            directory = commandLine;
        }
        SHELLEXECUTEINFOA shell;
        memset(&shell, 0, sizeof(shell));
        shell.cbSize = sizeof(shell);
        // A document that cannot be opened is the caller's failure to report: the
        // shell shows no box of its own.
        shell.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        shell.lpVerb = "";
        shell.lpFile = program;
        shell.lpParameters = parameters;
        shell.lpDirectory = directory;
        shell.nShow = startup.wShowWindow;
        if (!ShellExecuteExA(&shell)) return 0;
        // The shell may hand a document to a program that is already running
        // and report no process; then there is nothing to wait for.
        started->process = shell.hProcess;
        started->processId = 0xFFFFFFFF;
    }
    if (flags & LAUNCH_WAIT) WaitForSingleObject(started->process, INFINITE);
    return 1;
}

uintptr_t LaunchProgram(Text program, Text parameters, Text workingDirectory, uint32_t flags,
                        const ProgramRecord* sender) {
    if (!program) program = "";
    if (!parameters) parameters = "";
    if (workingDirectory && !*workingDirectory) workingDirectory = 0;

    // Memory comes first, so that running out of it starts nothing.
    char* commandLine = (char*)HeapBlock((uint32_t)(strlen(program) + strlen(parameters) + 4));
    int32_t keepRecord = flags & LAUNCH_KEEP_RECORD;
    ProgramRecord unkept = {0, 0, 0, 0, 0};
    ProgramRecord* record = keepRecord ? AddProgramRecord() : &unkept;
    uintptr_t result = 0;
    if (commandLine && record &&
        StartProgram(program, parameters, workingDirectory, flags, sender, commandLine, record)) {
        if (keepRecord) {
            result = (uintptr_t)record;
        } else {
            CloseIfOpen(unkept.process);
            result = 1;
        }
    } else if (keepRecord && record) {
        DropProgramRecord(record);   // nothing started: no record of it
    }
    FreeHeapBlock(commandLine);
    return result;
}
