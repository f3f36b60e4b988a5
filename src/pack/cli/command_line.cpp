#include "pack/cli/command_line.h"

#include "pack/cli/options.h"

namespace {

bool WasGiven(const std::vector<std::string>& seen, const std::string& name) {
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

std::string Listed(const std::vector<std::string>& items) { return JoinedNames(items, ", ", " and "); }

// The control options, as the modes' table has them: one mode's first option
// selects it and no other mode's may be given; the mode's other options go
// with it only, and those it cannot do without must be there.
std::string CheckControlOptions(const std::vector<std::string>& seen, CommandLine* line) {
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
    line->control.mode = selected ? selected->mode : CONTROL_NONE;
    return "";
}

}   // namespace

std::string ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line) {
    *line = CommandLine();
    // --help and --version, spelled exactly, win wherever they stand before "--".
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        const OptionSpec* option = FindOption(argument);
        if (option && option->commands == 0) return option->apply("", line);
    }
    if (arguments.empty()) return "no command given";
    const CommandSpec* command = nullptr;
    for (const CommandSpec& spec : Commands())
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
        // A short form stands alone; a long one may carry its value after '='.
        size_t equals = argument.find('=');
        const OptionSpec* option = FindOption(argument.substr(0, equals));
        bool inlineValue = equals != std::string::npos;
        if (option && inlineValue && argument.compare(0, equals, option->name) != 0) option = nullptr;
        if (!option || option->commands == 0) return "unknown option '" + argument + "'";
        if (!(option->commands & command->forBit)) return option->name + " does not go with " + command->name;
        std::string value;
        bool takesValue = !option->valueName.empty();
        if (takesValue && inlineValue) {
            value = argument.substr(equals + 1);
        } else if (takesValue) {
            if (index + 1 >= arguments.size()) return option->name + " needs a value";
            value = arguments[++index];
        } else if (inlineValue) {
            return option->name + " takes no value";
        }
        if (option->apply) {
            std::string problem = option->apply(value, line);
            if (!problem.empty()) return problem;
        } else if (const ControlValueSpec* spec = FindControlValue(option->name)) {
            line->control.*spec->value = value;
        }
        seen.push_back(option->name);
    }
    if (line->operands.size() != command->operands)
        return std::string(command->name) + " takes " + command->operandNames;
    if (command->command == COMMAND_CREATE && line->output.empty()) return "create needs -o OUT.exe";
    std::string problem = CheckSigningOptions(seen);
    return problem.empty() ? CheckControlOptions(seen, line) : problem;
}
