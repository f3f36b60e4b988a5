#include "pack/cli/command_line.h"

#include <algorithm>

#include "pack/cli/options.h"
#include "pack/names/windows_names.h"
#include "platform/platform.h"

namespace {

bool WasGiven(const std::vector<std::string>& seen, const std::string& name) {
    for (const std::string& option : seen)
        if (option == name) return true;
    return false;
}

// --sign-cert and --sign-key go together; the other signing options need them.
Problem CheckSigningOptions(const std::vector<std::string>& seen) {
    auto given = [&](const char* name) { return WasGiven(seen, name); };
    if (given("--sign-cert") != given("--sign-key")) return "--sign-cert and --sign-key go together";
    if (!given("--sign-cert") && (given("--sign-pass-file") || given("--timestamp")))
        return "--sign-pass-file and --timestamp go with --sign-cert and --sign-key";
    return {};
}

std::string Listed(const std::vector<std::string>& items) { return JoinedNames(items, ", ", " and "); }

// The control options, as the modes' table has them: one mode's first option
// selects it and no other mode's may be given; the mode's other options go
// with it only, and those it cannot do without must be there.
Problem CheckControlOptions(const std::vector<std::string>& seen, CommandLine* line) {
    std::vector<std::string> selecting;
    const ControlModeSpec* selected = nullptr;
    for (const ControlModeSpec& mode : ControlModes())
        if (WasGiven(seen, mode.values[0].option)) {
            selecting.push_back(mode.values[0].option);
            selected = &mode;
        }
    if (selecting.size() > 1) return Listed(selecting) + " exclude each other";
    // Another mode's option that gives a value the selected mode takes from its own.
    for (const ControlModeSpec& mode : ControlModes()) {
        if (&mode == selected) continue;
        for (size_t index = 1; index < mode.values.size(); ++index) {
            if (!selected || !WasGiven(seen, mode.values[index].option)) continue;
            for (const ControlValueSpec& own : selected->values)
                if (own.value == mode.values[index].value)
                    return std::string(mode.values[index].option) + " goes with " + mode.values[0].option + "; " +
                           own.option + " names its own " + own.what;
        }
    }
    for (const ControlModeSpec& mode : ControlModes()) {
        if (&mode == selected) continue;
        std::vector<std::string> followers;
        bool anyGiven = false;
        for (size_t index = 1; index < mode.values.size(); ++index) {
            followers.push_back(mode.values[index].option);
            anyGiven = anyGiven || WasGiven(seen, mode.values[index].option);
        }
        if (anyGiven)
            return Listed(followers) + (followers.size() > 1 ? " go with " : " goes with ") + mode.values[0].option;
    }
    if (selected)
        for (size_t index = 1; index < selected->values.size(); ++index)
            if (selected->values[index].whenMissing && !WasGiven(seen, selected->values[index].option))
                return std::string(selected->values[0].option) + " needs " + selected->values[index].option;
    line->create.control.mode = selected ? selected->mode : CONTROL_NONE;
    return {};
}

bool IsDirectory(const std::string& path) {
    FileStatus status;
    return !QueryFileStatus(path, true, &status) && status.kind == FILE_KIND_DIRECTORY;
}

bool NamedLikeAProgram(const std::string& path) {
    return path.size() > 4 && AsciiLowercase(path.substr(path.size() - 4)) == ".exe";
}

// "create A B" without -o: the folder that exists is DIR, else the one not
// named like a program; the other is the installer.
std::string TwoOperandsHint(const std::vector<std::string>& operands) {
    bool swapped = IsDirectory(operands[1]) != IsDirectory(operands[0])
                       ? IsDirectory(operands[1])
                       : NamedLikeAProgram(operands[0]) && !NamedLikeAProgram(operands[1]);
    const std::string& directory = operands[swapped ? 1 : 0];
    const std::string& output = operands[swapped ? 0 : 1];
    return "create takes one DIR; to pack " + directory + " into the installer " + output + ", give create " +
           directory + " -o " + output;
}

// How many single-character edits (insertions, deletions, changes and swaps
// of neighbours) make one word the other.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        for (size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// "; did you mean 'create'?" for the name nearest to a slip, when one is
// near enough to be meant: two edits at most, and one for each three
// characters typed; empty otherwise.
std::string Nearest(const std::string& word, const std::vector<std::string>& names) {
    const std::string* best = nullptr;
    size_t bestDistance = 3;
    for (const std::string& name : names) {
        size_t distance = EditDistance(word, name);
        if (distance < bestDistance && distance * 3 <= word.size()) {
            best = &name;
            bestDistance = distance;
        }
    }
    return best ? "; did you mean '" + *best + "'?" : "";
}

std::string UnknownOption(const std::string& argument) {
    std::vector<std::string> names;
    for (const OptionSpec& option : Options()) names.push_back(option.name);
    return "unknown option '" + argument + "'" + Nearest(argument.substr(0, argument.find('=')), names);
}

std::string UnknownCommand(const std::string& word) {
    std::vector<std::string> names;
    for (const CommandSpec& command : Commands()) names.push_back(command.name);
    return "unknown command '" + word + "'" + Nearest(word, names);
}

// create with -o and other than one operand: what each operand is, so that a
// missing DIR or a path split at its spaces shows.
std::string CreateOperandsHint(const std::vector<std::string>& operands) {
    if (operands.empty()) return "create needs the DIR to pack: create DIR -o OUT.exe";
    std::string text = "create takes one DIR, not " + std::to_string(operands.size()) + ":";
    std::string joined;
    for (const std::string& operand : operands) {
        FileStatus status;
        bool exists = !QueryFileStatus(operand, true, &status);
        text += " '" + operand + "' " +
                (!exists                              ? "does not exist"
                 : status.kind == FILE_KIND_DIRECTORY ? "is a directory"
                                                      : "is no directory") +
                (&operand == &operands.back() ? "" : ",");
        joined += (joined.empty() ? "" : " ") + operand;
    }
    if (IsDirectory(joined)) text += "; a DIR whose name holds spaces needs quotes: '" + joined + "'";
    return text;
}

// create DIR -o OUT.exe with the two swapped: -o names a folder that exists,
// and the operand is no folder but named like a program.
Problem SwappedOutputProblem(const CommandLine& line) {
    const std::string& output = line.create.output;
    const std::string& directory = line.operands[0];
    if (!IsDirectory(output) || IsDirectory(directory) || !NamedLikeAProgram(directory)) return {};
    return "-o names the directory " + output + ", and " + directory + " is none: to pack " + output +
           " into the installer " + directory + ", give create " + output + " -o " + directory;
}

// One argument that starts with '-': its option, and a value given in the
// same argument ("--output=FILE", "-oFILE"); null for an unknown option.
const OptionSpec* SplitOption(const std::string& argument, std::string* value, bool* inlineValue) {
    *inlineValue = false;
    if (const OptionSpec* option = FindOption(argument)) return option;
    size_t equals = argument.find('=');
    const OptionSpec* option = argument.compare(0, 2, "--") == 0 ? FindOption(argument.substr(0, equals)) : nullptr;
    if (option && equals != std::string::npos) {
        *value = argument.substr(equals + 1);
        *inlineValue = true;
        return option;
    }
    option = argument.size() > 2 ? FindOption(argument.substr(0, 2)) : nullptr;
    if (option && !option->valueName.empty() && option->shortName == argument.substr(0, 2)) {
        *value = argument.substr(2);
        *inlineValue = true;
        return option;
    }
    return nullptr;
}

bool IsOptionLike(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

// Where the command word is: the first argument that is neither an option nor
// an option's value; -1 when there is none.
int CommandIndex(const std::vector<std::string>& arguments, Problem* problem) {
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument == "--") return index + 1 < arguments.size() ? (int)index + 1 : -1;
        if (!IsOptionLike(argument)) return (int)index;
        std::string value;
        bool inlineValue;
        const OptionSpec* option = SplitOption(argument, &value, &inlineValue);
        if (!option) {
            *problem = UnknownOption(argument);
            return -1;
        }
        if (!option->valueName.empty() && !inlineValue) ++index;
    }
    return -1;
}

}   // namespace

Problem ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line) {
    *line = CommandLine();
    // --help and --version, spelled exactly, win wherever they stand before "--".
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        const OptionSpec* option = FindOption(argument);
        if (option && option->commands == 0) return option->apply("", line);
    }
    Problem problem;
    int commandIndex = CommandIndex(arguments, &problem);
    if (problem) return problem;
    if (commandIndex < 0) return "no command given";
    const CommandSpec* command = nullptr;
    for (const CommandSpec& spec : Commands())
        if (arguments[(size_t)commandIndex] == spec.name) command = &spec;
    if (!command) return UnknownCommand(arguments[(size_t)commandIndex]);
    line->command = command->command;

    // The command's options may stand before or after it and its operands.
    std::vector<std::string> seen;
    bool optionsEnded = false;
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if ((int)index == commandIndex) continue;
        if (optionsEnded || !IsOptionLike(argument)) {
            line->operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool inlineValue;
        const OptionSpec* option = SplitOption(argument, &value, &inlineValue);
        if (!option || option->commands == 0) return UnknownOption(argument);
        if (!(option->commands & command->forBit)) return option->name + " does not go with " + command->name;
        bool takesValue = !option->valueName.empty();
        if (!takesValue && inlineValue) return option->name + " takes no value";
        if (takesValue && !inlineValue) {
            if (index + 1 >= arguments.size()) return option->name + " needs a value";
            value = arguments[++index];
        }
        if (Problem refused = option->apply(value, line)) return refused;
        seen.push_back(option->name);
    }
    if (command->command == COMMAND_CREATE && line->create.output.empty())
        return line->operands.size() == 2 ? TwoOperandsHint(line->operands) : "create needs -o OUT.exe";
    if (command->command == COMMAND_CREATE && line->operands.size() != 1) return CreateOperandsHint(line->operands);
    if (command->command == COMMAND_CREATE)
        if (Problem problem = SwappedOutputProblem(*line)) return problem;
    if (line->operands.size() != command->operands)
        return std::string(command->name) + " takes " + command->operandNames;
    if (Problem problem = CheckSigningOptions(seen)) return problem;
    return CheckControlOptions(seen, line);
}
