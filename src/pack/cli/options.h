// The commands and options of sfxpack, one table each: the parser and the
// help text both read them, so the two cannot drift apart. A new option is a
// row in Options(); the control options' rows are made from the table of
// control modes (pack/installer/control_file.h), so a new mode is a row there alone.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "pack/cli/command_line.h"

// The commands an option goes with, as bits.
enum { FOR_CREATE = 1, FOR_LIST = 2, FOR_VERIFY = 4, FOR_EXTRACT = 8, FOR_TRY = 16, FOR_EVERY_COMMAND = 31 };

struct CommandSpec {
    const char* name;
    Command command;
    size_t operands;
    const char* operandNames;   // "OUT.exe DIR"
    const char* usage;          // what follows the name in the help: "DIR -o OUT.exe [options]"
    const char* summary;
    int forBit;   // the FOR_ bit of its options
};

struct OptionSpec {
    std::string name;        // "--output"
    std::string shortName;   // "-o"; empty: none
    std::string valueName;   // "OUT.exe"; empty: the option takes no value
    int commands;            // FOR_ bits; 0: it stands alone, command or not (--help, --version)
    // Stores the value in the command line; none, or why the value is refused.
    std::function<Problem(const std::string& value, CommandLine* line)> apply;
    std::string help;   // lines joined by '\n'; empty: described with its control mode
};

const std::vector<CommandSpec>& Commands();
const std::vector<OptionSpec>& Options();

// The option spelled exactly so, by its name or its short form; null when none is.
const OptionSpec* FindOption(const std::string& spelling);

// "a", "a and b", "a, b and c" for ", " and " and ".
std::string JoinedNames(const std::vector<std::string>& names, const char* separator, const char* lastSeparator);
