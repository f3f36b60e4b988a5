#include "pack/cli/command_line.h"

#include <cstring>

const char* const USAGE_TEXT =
    "Usage:\n"
    "  sfxpack create DIR -o OUT.exe [options]   pack DIR into a self-extracting installer\n"
    "  sfxpack list OUT.exe                      show the installer's target, entries and control file\n"
    "  sfxpack verify OUT.exe                    check the installer as the installer itself does\n"
    "  sfxpack extract OUT.exe DIR               unpack into a new or empty DIR, for inspection\n"
    "\n"
    "Options of create:\n"
    "  -o, --output OUT.exe     the installer to write (written whole or not at all)\n"
    "  --target DIR             where the installer extracts to (default .\\); a trailing\n"
    "                           backslash is added when missing, and .\\ before a relative DIR\n"
    "  --level store|fast|best  compression (default best)\n"
    "  --stub PATH              the installer stub (default: sfxstub.exe beside sfxpack)\n"
    "  --follow-links           pack what symbolic links point to (default: refuse them)\n"
    "  --shortcut PROGRAM --name NAME [--icon FILE] [--run COMMAND]\n"
    "                           when done, put a desktop shortcut NAME to PROGRAM, show the\n"
    "                           completion box, then start COMMAND in the target directory\n"
    "  --temp-run COMMAND       when done, run COMMAND, wait for it, then remove the files\n"
    "                           (a COMMAND with arguments quotes its program: '\"C:\\A\\a.exe\" /s')\n"
    "  --sign-cert FILE --sign-key FILE [--sign-pass-file FILE] [--timestamp URL]\n"
    "                           sign the installer with osslsigncode: its certificates, its\n"
    "                           private key, the file holding the key's password, the URL\n"
    "                           of a timestamp server\n"
    "Options of verify:\n"
    "  --sign-ca FILE           trust these certificates when checking the signature\n"
    "                           (default: the system's certificate authorities)\n"
    "Options of every command:\n"
    "  --codepage NAME          the Windows ANSI code page of names (default WINDOWS-1252)\n"
    "  --quiet                  no progress bar and no summary\n"
    "  --help, --version\n"
    "\n"
    "Exit codes: 0 success, 1 bad input or failed check, 2 usage error.\n";

namespace {

enum { FOR_CREATE = 1, FOR_LIST = 2, FOR_VERIFY = 4, FOR_EXTRACT = 8, FOR_ALL = 15 };

struct OptionSpec {
    const char* name;
    bool takesValue;
    int commands;
};

const OptionSpec OPTIONS[] = {
    {"--output", true, FOR_CREATE},    {"--target", true, FOR_CREATE},   {"--level", true, FOR_CREATE},
    {"--stub", true, FOR_CREATE},      {"--follow-links", false, FOR_CREATE},
    {"--shortcut", true, FOR_CREATE},  {"--name", true, FOR_CREATE},     {"--icon", true, FOR_CREATE},
    {"--run", true, FOR_CREATE},       {"--temp-run", true, FOR_CREATE}, {"--codepage", true, FOR_ALL},
    {"--quiet", false, FOR_ALL},       {"--sign-cert", true, FOR_CREATE}, {"--sign-key", true, FOR_CREATE},
    {"--sign-pass-file", true, FOR_CREATE}, {"--timestamp", true, FOR_CREATE}, {"--sign-ca", true, FOR_VERIFY},
};

struct CommandSpec {
    const char* name;
    Command command;
    size_t operands;
    const char* operandNames;
    int optionGroup;   // which options go with it
};

const CommandSpec COMMANDS[] = {
    {"create", COMMAND_CREATE, 1, "DIR", FOR_CREATE},
    {"list", COMMAND_LIST, 1, "OUT.exe", FOR_LIST},
    {"verify", COMMAND_VERIFY, 1, "OUT.exe", FOR_VERIFY},
    {"extract", COMMAND_EXTRACT, 2, "OUT.exe DIR", FOR_EXTRACT},
};

// The levels' names: "store, fast or best" with ", " and " or ".
std::string LevelNames(const char* separator, const char* lastSeparator) {
    std::string names;
    CompressionLevelTable levels = CompressionLevels();
    for (size_t index = 0; index < levels.count; ++index)
        names += (index == 0 ? "" : index + 1 == levels.count ? lastSeparator : separator) +
                 std::string(levels.first[index].name);
    return names;
}

const OptionSpec* FindOption(const std::string& name) {
    for (const OptionSpec& option : OPTIONS)
        if (name == option.name) return &option;
    return nullptr;
}

std::string ApplyOption(const std::string& name, const std::string& value, CommandLine* line) {
    if (name == "--output") line->output = value;
    if (name == "--target") {
        line->target = value;
        line->targetGiven = true;
    }
    if (name == "--stub") line->stub = value;
    if (name == "--codepage") line->codePage = value;
    if (name == "--follow-links") line->followLinks = true;
    if (name == "--quiet") line->quiet = true;
    if (name == "--shortcut") line->control.program = value;
    if (name == "--name") line->control.name = value;
    if (name == "--icon") line->control.icon = value;
    if (name == "--run" || name == "--temp-run") line->control.command = value;
    if (name == "--sign-cert") line->signing.certificate = value;
    if (name == "--sign-key") line->signing.key = value;
    if (name == "--sign-pass-file") line->signing.passwordFile = value;
    if (name == "--timestamp") line->signing.timestampUrl = value;
    if (name == "--sign-ca") line->trustedCertificates = value;
    if (name == "--level") {
        line->level = FindCompressionLevel(value);
        if (!line->level) return "--level takes " + LevelNames(", ", " or ") + ", not '" + value + "'";
    }
    return "";
}

bool WasGiven(const std::vector<std::string>& seen, const char* name) {
    for (const std::string& option : seen)
        if (option == name) return true;
    return false;
}

// --sign-cert and --sign-key go together; the other signing options need them.
std::string CheckSigningOptions(const std::vector<std::string>& seen) {
    auto given = [&](const char* name) { return WasGiven(seen, name); };
    if (given("--sign-cert") != given("--sign-key")) return "--sign-cert and --sign-key go together";
    if (!given("--sign-cert") && (given("--sign-pass-file") || given("--timestamp")))
        return "--sign-pass-file and --timestamp go with --sign-cert and --sign-key";
    return "";
}

// The control options go together: --shortcut with --name and maybe --icon
// and --run, or --temp-run alone.
std::string CheckControlOptions(const std::vector<std::string>& seen, CommandLine* line) {
    auto given = [&](const char* name) { return WasGiven(seen, name); };
    if (given("--shortcut") && given("--temp-run")) return "--shortcut and --temp-run exclude each other";
    if (given("--temp-run") && given("--run")) return "--run goes with --shortcut; --temp-run names its own command";
    if (!given("--shortcut") && (given("--name") || given("--icon") || given("--run")))
        return "--name, --icon and --run go with --shortcut";
    if (given("--shortcut") && !given("--name")) return "--shortcut needs --name";
    line->control.mode = given("--shortcut") ? CONTROL_SHORTCUT : given("--temp-run") ? CONTROL_TEMP_RUN : CONTROL_NONE;
    return "";
}

}  // namespace

std::string ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line) {
    *line = CommandLine();
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h" || argument == "--version") {
            line->command = argument == "--version" ? COMMAND_VERSION : COMMAND_HELP;
            return "";
        }
    }
    if (arguments.empty()) return "no command given";
    const CommandSpec* command = nullptr;
    for (const CommandSpec& spec : COMMANDS)
        if (arguments[0] == spec.name) command = &spec;
    if (!command) return "unknown command '" + arguments[0] + "'";
    line->command = command->command;

    std::vector<std::string> seen;
    bool optionsEnded = false;
    for (size_t index = 1; index < arguments.size(); ++index) {
        std::string argument = arguments[index];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            line->operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument == "-o" ? "--output" : argument.substr(0, argument.find('='));
        const OptionSpec* option = FindOption(name);
        if (!option) return "unknown option '" + argument + "'";
        if (!(option->commands & command->optionGroup))
            return std::string(option->name) + " does not go with " + command->name;
        std::string value;
        bool inlineValue = argument.find('=') != std::string::npos;
        if (option->takesValue && inlineValue) {
            value = argument.substr(argument.find('=') + 1);
        } else if (option->takesValue) {
            if (index + 1 >= arguments.size()) return std::string(option->name) + " needs a value";
            value = arguments[++index];
        } else if (inlineValue) {
            return std::string(option->name) + " takes no value";
        }
        std::string problem = ApplyOption(option->name, value, line);
        if (!problem.empty()) return problem;
        seen.push_back(option->name);
    }
    if (line->operands.size() != command->operands)
        return std::string(command->name) + " takes " + command->operandNames;
    if (command->command == COMMAND_CREATE && line->output.empty()) return "create needs -o OUT.exe";
    std::string problem = CheckSigningOptions(seen);
    return problem.empty() ? CheckControlOptions(seen, line) : problem;
}
