// Runs another program (the signing tool) and keeps what it says.
#pragma once
#include <string>
#include <vector>

// The program's path as found in PATH (or as given, when it holds a slash);
// empty when there is no such executable.
std::string FindProgram(const std::string& name);

struct ToolRun {
    bool started = false;
    int exitCode = -1;        // 128 + the signal when it was killed
    std::string output;       // standard output and standard error, interleaved
};

// Runs the program with the arguments, its input from /dev/null and without a
// terminal (so it cannot stop to prompt), and waits.
// While it runs it counts as the writer of the pending files (atomic_file.h).
ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments);

// The output's lines, trimmed, without blank lines, OpenSSL's internal error
// queue, password prompts and the bare verdict ("Failed", "Succeeded").
std::vector<std::string> ToolMessages(const std::string& output);
