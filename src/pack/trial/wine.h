// Running Wine for one prefix: each of its programs with the prefix's
// environment, its output appended to the log file (never a pipe: Wine's
// background processes would hold one open), and under a time bound.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// How long one of Wine's own steps may take: a busy machine makes it slow.
const int64_t WINE_STEP_SECONDS = 300;

struct WinePrefix {
    std::string path;      // the prefix folder
    std::string logPath;   // where every Wine program's output goes
};

// What must be installed for try, or empty when wine, wineserver and setarch are there.
Problem MissingWineProblem();

// Why the host's Wine cannot run 32-bit programs, saying what to install
// and how to check it.
std::string Wine32BitProblem(const std::string& why);

// `wine --version` ("wine-8.0 (Debian 8.0~repack-4)"); empty on success.
Problem ReadWineVersion(const WinePrefix& prefix, std::string* version);

// Starts a Wine program (wine's arguments), in directory when given, with
// the debug channels given (WINEDEBUG).
Problem StartWine(const WinePrefix& prefix, const std::vector<std::string>& arguments, const std::string& directory,
                  const std::string& debug, RunningProgram* program);

// Runs a Wine program to its end, waiting at most the given seconds; its exit
// code. A program still running then is stopped, and that is the problem.
Problem RunWine(const WinePrefix& prefix, const std::vector<std::string>& arguments, int64_t seconds, int* exitCode);

// The prefix's server, kept running between its programs, and its end: every
// process of the prefix is ended with it.
Problem StartWineServer(const WinePrefix& prefix);
void StopWineServer(const WinePrefix& prefix);
