// The help text, made from the tables: commands, options, control modes and
// (through --level's row) compression levels.
#include <algorithm>

#include "pack/cli/command_line.h"
#include "pack/cli/options.h"

namespace {

const size_t HELP_COLUMN = 25;   // where descriptions start, after the two-space indent

// "  LABEL   first line", then the other lines under the first; a label too
// long for the column has its description on the lines below it.
std::string Entry(const std::string& label, const std::string& help) {
    std::string text = "  " + label;
    std::string indent = "\n  " + std::string(HELP_COLUMN, ' ');
    if (label.size() + 2 <= HELP_COLUMN) text += std::string(HELP_COLUMN - label.size(), ' ');
    else text += indent;
    for (char c : help) text += c == '\n' ? indent : std::string(1, c);
    return text + "\n";
}

std::string Label(const OptionSpec& option) {
    std::string label = option.shortName.empty() ? option.name : option.shortName + ", " + option.name;
    return option.valueName.empty() ? label : label + " " + option.valueName;
}

// A control mode: its selecting option and value, then the others, optional ones in brackets.
std::string ModeLabel(const ControlModeSpec& mode) {
    std::string label;
    for (const ControlValueSpec& value : mode.values) {
        const OptionSpec* option = FindOption(value.option);
        std::string part = option ? Label(*option) : value.option;
        bool optional = !value.whenMissing && &value != &mode.values[0];
        label += (label.empty() ? "" : " ") + (optional ? "[" + part + "]" : part);
    }
    return label;
}

std::string OptionEntry(const OptionSpec& option) {
    const ControlModeSpec* mode = nullptr;
    const ControlValueSpec* value = FindControlValue(option.name, &mode);
    if (value && value == &mode->values[0]) return Entry(ModeLabel(*mode), mode->help);
    if (option.help.empty()) return "";   // described with its mode
    return Entry(Label(option), option.help);
}

// "create", "list and verify", "every command".
std::string CommandsNamed(int commands) {
    if (commands == 0 || commands == FOR_EVERY_COMMAND) return "every command";
    std::vector<std::string> names;
    for (const CommandSpec& command : Commands())
        if (commands & command.forBit) names.push_back(command.name);
    return JoinedNames(names, ", ", " and ");
}

}   // namespace

std::string UsageText() {
    std::string text = "Usage:\n";
    size_t width = 0;
    for (const CommandSpec& command : Commands())
        width = std::max(width, std::string(command.name).size() + 1 + std::string(command.usage).size());
    for (const CommandSpec& command : Commands()) {
        std::string call = std::string(command.name) + " " + command.usage;
        text += "  sfxpack " + call + std::string(width - call.size() + 3, ' ') + command.summary + "\n";
    }
    // The options grouped by the commands they go with, in the table's order.
    std::string heading;
    for (const OptionSpec& option : Options()) {
        std::string entry = OptionEntry(option);
        if (entry.empty()) continue;
        std::string thisHeading = "Options of " + CommandsNamed(option.commands) + ":\n";
        if (thisHeading != heading) text += (heading.empty() ? "\n" : "") + thisHeading;
        heading = thisHeading;
        text += entry;
    }
    return text + "\nExit codes: 0 success, 1 bad input or failed check, 2 usage error, 3 try without Wine.\n" +
           "Every rule, limit and control mode: man sfxpack\n";
}
