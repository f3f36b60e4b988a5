// Writes sfxpack's bash completion: its template with the tables filled in
// from the command line's own tables of commands and options, so that the
// completion offers what --help lists. Run by the build.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "pack/cli/options.h"
#include "pack/installer/control_file.h"
#include "platform/code_page_table.h"

namespace {

// Options whose values the installer reads on the Windows machine (as the
// control options' values): nothing on this one to complete them from.
const char* const WINDOWS_SIDE_OPTIONS[] = {"--target"};

// What the shell offers for a value or an operand, by the name the help gives
// it: "file", "directory", "installer", "words a b c" or "other".
std::string Kind(const std::string& valueName) {
    if (valueName.find('|') != std::string::npos) {
        std::string words = "words " + valueName;
        for (char& c : words) c = c == '|' ? ' ' : c;
        return words;
    }
    if (valueName == "DIR") return "directory";
    if (valueName == "OUT.exe" || valueName == "INSTALLER.exe") return "installer";
    if (valueName == "FILE" || valueName == "PATH") return "file";
    return "other";
}

// The usual name of each code page that both builders know: iconv takes
// more on Linux, but these are the ones an installer for Windows needs.
std::string CodePageWords() {
    std::string words = "words";
    for (const std::string& name : UsualCodePageNames()) words += " " + name;
    return words;
}

std::string ValueKind(const OptionSpec& option) {
    if (option.name == "--codepage") return CodePageWords();
    if (FindControlValue(option.name)) return "other";
    for (const char* name : WINDOWS_SIDE_OPTIONS)
        if (option.name == name) return "other";
    return Kind(option.valueName);
}

std::string Spellings(const OptionSpec& option, const char* separator) {
    return option.shortName.empty() ? option.name : option.shortName + separator + option.name;
}

// The options that go with the command's bit; 0: before any command.
std::string OptionsOf(int commandBit) {
    std::string words;
    for (const OptionSpec& option : Options())
        if (option.commands == 0 || (option.commands & commandBit))
            words += (words.empty() ? "" : " ") + Spellings(option, " ");
    return words;
}

// One arm of a shell case: the pattern, and the words it echoes.
std::string Arm(const std::string& pattern, const std::string& words) {
    return "    " + pattern + ") echo '" + words + "' ;;\n";
}

// A shell function that echoes the words of the arm its argument matches.
std::string CaseFunction(const std::string& comment, const std::string& name, const std::string& arms) {
    return "# " + comment + "\n" + name + "() {\n    case $1 in\n" + arms + "    esac\n}\n";
}

std::string Tables() {
    std::string commands, options = Arm("''", OptionsOf(0)), operands, values;
    for (const CommandSpec& command : Commands()) {
        commands += (commands.empty() ? "" : " ") + std::string(command.name);
        options += Arm(command.name, OptionsOf(command.forBit));
        std::istringstream names(command.operandNames);
        std::string name, kinds;
        while (names >> name) kinds += (kinds.empty() ? "" : " ") + Kind(name);
        operands += Arm(command.name, kinds);
    }
    for (const OptionSpec& option : Options())
        if (!option.valueName.empty()) values += Arm(Spellings(option, " | "), ValueKind(option));
    return "_sfxpack_commands() { echo '" + commands + "'; }\n\n" +
           CaseFunction("The options of a command ('': before one).", "_sfxpack_options_of", options) + "\n" +
           CaseFunction("The kinds of a command's operands, in order.", "_sfxpack_operands_of", operands) + "\n" +
           CaseFunction("The kind of an option's value; none for an option that takes no value.", "_sfxpack_value_of",
                        values);
}

}   // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: make_bash_completion TEMPLATE OUTPUT\n");
        return 2;
    }
    std::ifstream input(argv[1]);
    std::stringstream text;
    text << input.rdbuf();
    std::string completion = text.str();
    size_t at = completion.find("@TABLES@");
    if (!input || at == std::string::npos) {
        fprintf(stderr, "make_bash_completion: %s: cannot read it, or it has no @TABLES@\n", argv[1]);
        return 1;
    }
    completion.replace(at, 8, Tables());
    std::ofstream output(argv[2]);
    output << completion;
    output.close();
    if (!output) {
        fprintf(stderr, "make_bash_completion: %s: cannot write it\n", argv[2]);
        return 1;
    }
    return 0;
}
