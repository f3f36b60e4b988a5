#include "pack/installer/control_file.h"

#include <algorithm>

#include "format/installer_format.h"
#include "pack/names/windows_names.h"

static const char* const CRLF = "\r\n";

static std::string Started(const std::string& command) { return command.empty() ? "nothing" : "'" + command + "'"; }

static std::string DescribeShortcut(const ControlValues& shown) {
    return "desktop shortcut '" + shown.name + "' to '" + shown.program + "', icon '" + shown.icon + "', then start " +
           Started(shown.command);
}

static std::string DescribeTemporaryRun(const ControlValues& shown) {
    return "temporary run of " + Started(shown.command) + ", then its files are removed";
}

const std::vector<ControlModeSpec>& ControlModes() {
    static const std::vector<ControlModeSpec> modes = {
        {CONTROL_SHORTCUT,
         "shortcut",
         {{"--shortcut", "PROGRAM", &ControlValues::program, "program", IN_SCRIPT_TRIMMED, "the path of the program",
           nullptr},
          {"--name", "NAME", &ControlValues::name, "shortcut name", IN_SCRIPT, "the shortcut's name", ".lnk"},
          {"--icon", "FILE", &ControlValues::icon, "icon", IN_SCRIPT, nullptr, nullptr},
          {"--run", "COMMAND", &ControlValues::command, "command", COMMAND, nullptr, nullptr}},
         "when done, put a desktop shortcut NAME to PROGRAM, show the\n"
         "completion box, then start COMMAND in the target directory\n"
         "(a relative COMMAND is in the target)",
         DescribeShortcut},
        {CONTROL_TEMP_RUN,
         "temp-run",
         {{"--temp-run", "COMMAND", &ControlValues::command, "command", COMMAND, "the command to run", nullptr}},
         "when done, run COMMAND, wait for it, then remove the files;\n"
         "a relative COMMAND is in the target (default .\\NAME.tmp\\ for\n"
         "OUT NAME.exe); one with arguments quotes its program:\n"
         "'\"C:\\A\\a.exe\" /s'",
         DescribeTemporaryRun},
    };
    return modes;
}

const ControlModeSpec* FindControlMode(ControlMode mode) {
    for (const ControlModeSpec& spec : ControlModes())
        if (spec.mode == mode) return &spec;
    return nullptr;
}

const ControlValueSpec* FindControlValue(const std::string& option, const ControlModeSpec** mode) {
    for (const ControlModeSpec& spec : ControlModes())
        for (const ControlValueSpec& value : spec.values)
            if (option == value.option) {
                if (mode) *mode = &spec;
                return &value;
            }
    return nullptr;
}

const ControlLineSpec CONTROL_FILE_LINES[CONTROL_LINE_COUNT] = {
    {&ControlValues::program, "program"},   // CONTROL_LINE_PROGRAM
    {&ControlValues::name, "name"},         // CONTROL_LINE_NAME
    {&ControlValues::icon, "icon"},         // CONTROL_LINE_ICON
    {&ControlValues::command, "command"},   // CONTROL_LINE_COMMAND
};

// The installer reads the values as lines, trimming leading spaces (and the
// trailing ones of the program), and pastes all but the command unescaped
// into its script between double quotes. The command may hold quotes: they
// are how it takes arguments ("C:\App\app.exe" /s).
static Problem ValueProblem(const char* option, const std::string& value, ValueUse use) {
    std::string named = std::string(option) + " '" + value + "'";
    if (use != COMMAND && value.find('"') != std::string::npos)
        return named + ": a double quote would break the shortcut script";
    if (value.find_first_of("\r\n") != std::string::npos) return named + ": holds a line break";
    if (HoldsControlCharacter(value)) return named + ": holds a control character";
    if (!value.empty() && value[0] == ' ') return named + ": the installer drops leading spaces";
    if (use == IN_SCRIPT_TRIMMED && !value.empty() && value.back() == ' ')
        return named + ": the installer drops trailing spaces";
    if (!IsValidUtf8(value)) return named + ": not valid UTF-8";
    return {};
}

static Problem ModeProblem(const ControlModeSpec& mode, const ControlValues& values) {
    for (const ControlValueSpec& spec : mode.values)
        if (spec.whenMissing && (values.*spec.value).empty())
            return std::string(spec.option) + " needs " + spec.whenMissing;
    for (const ControlValueSpec& spec : mode.values) {
        if (Problem problem = ValueProblem(spec.option, values.*spec.value, spec.use)) return problem;
    }
    for (const ControlValueSpec& spec : mode.values) {
        if (!spec.fileSuffix) continue;
        const std::string& value = values.*spec.value;
        if (Problem nameProblem = WindowsNameProblem(value + spec.fileSuffix))
            return std::string(spec.option) + " '" + value + "': as a file name it " + nameProblem.text;
    }
    return {};
}

Problem ControlValuesProblem(const ControlValues& values) {
    const ControlModeSpec* mode = FindControlMode(values.mode);
    return mode ? ModeProblem(*mode, values) : Problem();
}

std::string ProgramOf(const std::string& command) {
    if (command.empty() || command[0] != '"') return command;
    return command.substr(1, command.find('"', 1) - 1);
}

bool IsRelativeWindowsPath(const std::string& path) {
    return !path.empty() && path[0] != '\\' && path[0] != '/' && path.find(':') == std::string::npos;
}

std::string CommandInTarget(const std::string& command, const std::string& target) {
    if (!IsRelativeWindowsPath(ProgramOf(command))) return command;
    return command[0] == '"' ? "\"" + target + command.substr(1) : target + command;
}

ControlValues CommandsInTarget(const ControlValues& values, const std::string& target) {
    ControlValues written = values;
    if (const ControlModeSpec* mode = FindControlMode(values.mode))
        for (const ControlValueSpec& spec : mode->values)
            if (spec.use == COMMAND && !(values.*spec.value).empty())
                written.*spec.value = CommandInTarget(values.*spec.value, target);
    return written;
}

Problem CommandPlaceProblem(const ControlValues& values, const std::string& target) {
    const ControlModeSpec* mode = FindControlMode(values.mode);
    if (!mode) return {};
    for (const ControlValueSpec& spec : mode->values) {
        const std::string& command = values.*spec.value;
        std::string program = ProgramOf(command);
        if (spec.use != COMMAND || !IsRelativeWindowsPath(program) || program.compare(0, target.size(), target) == 0)
            continue;
        return std::string(spec.what) + " '" + command +
               "' is a relative path outside the target: Windows would look for its program beside the installer, "
               "where anyone may have put one of that name; create writes '" +
               CommandInTarget(command, target) + "'";
    }
    return {};
}

static bool ModeUsesLine(const ControlModeSpec* mode, std::string ControlValues::*line) {
    if (!mode) return false;
    for (const ControlValueSpec& spec : mode->values)
        if (spec.value == line) return true;
    return false;
}

Problem MakeControlFile(const ControlValues& values, const CodePage& codePage, std::string* bytes) {
    bytes->clear();
    const ControlModeSpec* mode = FindControlMode(values.mode);
    for (const ControlLineSpec& line : CONTROL_FILE_LINES) {
        const std::string& value = ModeUsesLine(mode, line.value) ? values.*line.value : std::string();
        std::optional<std::string> converted = ToCodePage(codePage, value);
        if (!converted) return "'" + value + "' cannot be written in code page " + codePage.name;
        *bytes += *converted + CRLF;
    }
    return {};
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
    for (const ControlLineSpec& line : CONTROL_FILE_LINES)
        values.*line.value = WithoutLeadingSpaces(NextLine(bytes, &at));
    while (!values.program.empty() && values.program.back() == ' ') values.program.pop_back();
    values.mode = ControlFileRunsTemporarily(values.program.c_str()) ? CONTROL_TEMP_RUN : CONTROL_SHORTCUT;
    return values;
}
