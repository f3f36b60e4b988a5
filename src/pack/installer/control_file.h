// The control file "$$$.$$$": its lines (format/installer_format.h), CR LF
// each, choose how the installation ends. The modes are one table: the
// options that give each mode's values (the command line's rows for them are
// made from it), how each value is checked, and how `list` describes the
// mode. A new mode is a row there (and its rule in format/installer_format.h,
// which the installer follows).
#pragma once
#include <string>
#include <vector>

#include "format/installer_format.h"
#include "pack/names/code_page.h"
#include "problem/problem.h"

enum ControlMode { CONTROL_NONE, CONTROL_SHORTCUT, CONTROL_TEMP_RUN };

struct ControlValues {
    ControlMode mode = CONTROL_NONE;
    std::string program;   // the line of each, CONTROL_LINE_PROGRAM and so on
    std::string name;
    std::string icon;
    std::string command;
};

// How the installer uses a value: pasted into its script between double
// quotes (with or without the trailing spaces it trims), or run as a command.
enum ValueUse { IN_SCRIPT, IN_SCRIPT_TRIMMED, COMMAND };

struct ControlValueSpec {
    const char* option;                  // the option that gives it
    const char* valueName;               // the option's value in the help text: "PROGRAM"
    std::string ControlValues::*value;   // the line it fills
    const char* what;                    // the value in a message: "command"
    ValueUse use;
    const char* whenMissing;   // null: may be left out; else "<option> needs <whenMissing>"
    const char* fileSuffix;    // not null: with this suffix it names a file on the desktop
};

struct ControlModeSpec {
    ControlMode mode;
    const char* name;                       // in list --json: "shortcut"
    std::vector<ControlValueSpec> values;   // the first one's option selects the mode
    const char* help;                       // for the help text
    // For `list`, from values already made printable.
    std::string (*describe)(const ControlValues& shown);
};

// The modes that write a control file (CONTROL_NONE writes none).
const std::vector<ControlModeSpec>& ControlModes();
// The mode's row; null for CONTROL_NONE.
const ControlModeSpec* FindControlMode(ControlMode mode);
// The value that an option gives in some mode, and that mode; null when none does.
const ControlValueSpec* FindControlValue(const std::string& option, const ControlModeSpec** mode = nullptr);

// The file's lines in order (CONTROL_LINE_*): the value each holds, and its
// key in list --json.
struct ControlLineSpec {
    std::string ControlValues::*value;
    const char* key;
};
extern const ControlLineSpec CONTROL_FILE_LINES[CONTROL_LINE_COUNT];

// Why the values (UTF-8) would not reach the installer as given, or none.
Problem ControlValuesProblem(const ControlValues& values);

// The program that a command starts: the command itself, or the part in
// double quotes when it starts with one (then arguments follow).
std::string ProgramOf(const std::string& command);
// A path relative to the directory a program runs in: no root, no drive.
bool IsRelativeWindowsPath(const std::string& path);
// A command as written: a relative program gets the target in front (inside
// its quotes). Windows looks for a program named without a folder beside the
// installer first, and for one with a relative folder in the folder the
// installer runs in, never in the target, whatever working directory the
// installer gives it.
std::string CommandInTarget(const std::string& command, const std::string& target);
// The values with each command of their mode so written.
ControlValues CommandsInTarget(const ControlValues& values, const std::string& target);
// Why a command of the values would start a program other than the installed
// one: its program is relative and does not start with the target. None when
// none would.
Problem CommandPlaceProblem(const ControlValues& values, const std::string& target);

// The file's bytes in the code page, the lines the mode does not use left
// empty; none on success, else the problem.
Problem MakeControlFile(const ControlValues& values, const CodePage& codePage, std::string* bytes);

// The values as the installer reads them back from the file's bytes.
ControlValues ReadControlFile(const std::string& bytes);
