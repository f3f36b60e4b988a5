// What Wine's trace says the installer did. The prefix has Wine write a line
// for each call of a few functions (message boxes, program starts, changes of
// directory: TRACED_FUNCTIONS) and for each call's return, the process
// channel the id of each process started, the loader the image each process
// runs; every line begins "process:thread:".
#pragma once
#include <set>
#include <string>
#include <vector>

#include "pack/names/code_page.h"

// For the prefix's RelayInclude setting. Both DLLs' names: a program may
// reach a function through either.
extern const char* const TRACED_FUNCTIONS;

struct TracedBox {
    std::string caption;   // UTF-8
    std::string text;
};

struct TracedStart {
    std::string command;     // as the installer (or the shell for it) gave it
    std::string directory;   // where it started
    std::string process;     // Wine's id of the started process
};

struct RelayTrace {
    bool installerSeen = false;   // a process ran the installer's image
    std::vector<TracedBox> boxes;
    std::vector<TracedStart> starts;        // the programs the installer started, in order
    std::set<std::string> endedProcesses;   // processes that ended as a program ends, detaching their DLLs
};

// The trace of a run of the installer at installerPath (a Windows path),
// started in startDirectory. Strings of the "A" functions are read in the
// code page.
RelayTrace ReadRelayTrace(const std::string& log, const std::string& installerPath, const std::string& startDirectory,
                          const CodePage& codePage);
