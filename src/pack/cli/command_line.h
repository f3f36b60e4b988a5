// The command line of sfxpack: one command, its operands and options.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pack/create.h"
#include "problem/problem.h"

enum Command {
    COMMAND_CREATE,
    COMMAND_LIST,
    COMMAND_VERIFY,
    COMMAND_EXTRACT,
    COMMAND_TRY,
    COMMAND_HELP,
    COMMAND_VERSION
};

struct CommandLine {
    Command command = COMMAND_HELP;
    std::vector<std::string> operands;
    CreateRequest create;   // create's options (its DIR is the operand)
    std::string codePage;
    bool quiet = false;
    bool json = false;                 // list, verify: one JSON document on standard output
    std::string trustedCertificates;   // verify: instead of the system's certificate authorities
    bool strict = false;               // verify: a warning fails
    std::string keepFolder;            // try: where to keep the prefix and the log
    int64_t timeoutSeconds = 120;      // try: how long the installer may run
};

// None on success, else what is wrong with the command line (exit code 2).
Problem ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line);

// The help text, made from the tables of commands, options, control modes and levels.
std::string UsageText();
