#include "pack/control_file.h"

#include <algorithm>

#include "format/installer_format.h"
#include "pack/windows_names.h"

static const char* const CRLF = "\r\n";

enum ValueUse { IN_SCRIPT, IN_SCRIPT_TRIMMED, COMMAND };

// The installer reads the values as lines, trimming leading spaces (and the
// trailing ones of the program), and pastes all but the command unescaped
// into its script between double quotes. The command may hold quotes: they
// are how it takes arguments ("C:\App\app.exe" /s).
static std::string ValueProblem(const char* option, const std::string& value, ValueUse use) {
    std::string named = std::string(option) + " '" + value + "'";
    if (use != COMMAND && value.find('"') != std::string::npos)
        return named + ": a double quote would break the shortcut script";
    if (value.find_first_of("\r\n") != std::string::npos) return named + ": holds a line break";
    if (!value.empty() && value[0] == ' ') return named + ": the installer drops leading spaces";
    if (use == IN_SCRIPT_TRIMMED && !value.empty() && value.back() == ' ') return named + ": the installer drops trailing spaces";
    if (!IsValidUtf8(value)) return named + ": not valid UTF-8";
    return "";
}

static std::string ShortcutProblem(const ControlValues& values) {
    if (values.program.empty()) return "--shortcut needs the path of the program";
    if (values.name.empty()) return "--name needs the shortcut's name";
    std::string problem = ValueProblem("--shortcut", values.program, IN_SCRIPT_TRIMMED);
    if (problem.empty()) problem = ValueProblem("--name", values.name, IN_SCRIPT);
    if (problem.empty()) problem = ValueProblem("--icon", values.icon, IN_SCRIPT);
    if (problem.empty()) problem = ValueProblem("--run", values.command, COMMAND);
    if (!problem.empty()) return problem;
    // The name becomes the file name of the shortcut on the desktop.
    std::string nameProblem = WindowsNameProblem(values.name + ".lnk");
    if (!nameProblem.empty()) return "--name '" + values.name + "': as a file name it " + nameProblem;
    return "";
}

std::string ControlValuesProblem(const ControlValues& values) {
    if (values.mode == CONTROL_SHORTCUT) return ShortcutProblem(values);
    if (values.mode != CONTROL_TEMP_RUN) return "";
    if (values.command.empty()) return "--temp-run needs the command to run";
    return ValueProblem("--temp-run", values.command, COMMAND);
}

std::string MakeControlFile(const ControlValues& values, const CodePage& codePage, std::string* bytes) {
    bytes->clear();
    const std::string* lines[] = {&values.program, &values.name, &values.icon, &values.command};
    for (const std::string* line : lines) {
        std::string converted;
        if (!ToCodePage(codePage, *line, &converted))
            return "'" + *line + "' cannot be written in code page " + codePage.name;
        *bytes += converted + CRLF;
    }
    return "";
}

// One line: it ends at CR, LF, CR LF or a zero byte; past the end it is empty.
static std::string NextLine(const std::string& bytes, size_t* at) {
    size_t start = std::min(*at, bytes.size());
    size_t end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n' && bytes[end] != '\0') ++end;
    bool crlf = bytes.compare(end, 2, CRLF) == 0;
    *at = end + (crlf ? 2 : 1);
    return bytes.substr(start, end - start);
}

static std::string WithoutLeadingSpaces(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first);
}

ControlValues ReadControlFile(const std::string& bytes) {
    ControlValues values;
    size_t at = 0;
    values.program = WithoutLeadingSpaces(NextLine(bytes, &at));
    values.name = WithoutLeadingSpaces(NextLine(bytes, &at));
    values.icon = WithoutLeadingSpaces(NextLine(bytes, &at));
    values.command = WithoutLeadingSpaces(NextLine(bytes, &at));
    while (!values.program.empty() && values.program.back() == ' ') values.program.pop_back();
    values.mode = ControlFileRunsTemporarily(values.program.c_str()) ? CONTROL_TEMP_RUN : CONTROL_SHORTCUT;
    return values;
}
