// Starts programs directly, or documents through the shell when a direct start
// fails, optionally waiting for them and connecting their standard streams.
// The stub's runtime library keeps every operation it has, though the installer uses only some of them.
#pragma once
#include <stdint.h>

#include "strings/text.h"

enum {
    LAUNCH_WAIT = 0x01,
    LAUNCH_HIDE = 0x02,
    LAUNCH_KEEP_RECORD = 0x04,
    LAUNCH_PIPE_OUTPUT = 0x08,
    LAUNCH_PIPE_INPUT = 0x10,
    LAUNCH_PIPE_ERROR = 0x20,
    LAUNCH_CONNECT = 0x40,
    LAUNCH_STREAM_FLAGS = 0x78,   // any of these rules out the shell fallback
};

struct ProgramRecord {
    void* process;        // process handle
    uint32_t processId;   // 0xFFFFFFFF when the shell started the program
    void* inputPipe;      // caller's write end, or 0
    void* outputPipe;     // caller's read end, or 0
    void* errorPipe;      // caller's read end, or 0
};

void InitializeLauncher();
// 0 nothing started; 1 started (and ended, with LAUNCH_WAIT); otherwise, with
// LAUNCH_KEEP_RECORD, the address of the new ProgramRecord.
uintptr_t LaunchProgram(Text program, Text parameters, Text workingDirectory, uint32_t flags = 0,
                        const ProgramRecord* sender = 0);
