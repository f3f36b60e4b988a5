// The control file "$$$.$$$": four lines (program, shortcut name, icon file,
// command), CR LF each, that choose how the installation ends.
#pragma once
#include <string>

#include "pack/code_page.h"

enum ControlMode { CONTROL_NONE, CONTROL_SHORTCUT, CONTROL_TEMP_RUN };

struct ControlValues {
    ControlMode mode = CONTROL_NONE;
    std::string program;   // line 1: the shortcut's target; empty selects the temporary run
    std::string name;      // line 2: the shortcut's file name without ".lnk", and its description
    std::string icon;      // line 3: the file holding the shortcut's icon
    std::string command;   // line 4: started at the end
};

// Why the values (UTF-8) would not reach the installer as given, or empty.
std::string ControlValuesProblem(const ControlValues& values);

// The file's bytes in the code page; empty on success, else the problem.
std::string MakeControlFile(const ControlValues& values, const CodePage& codePage, std::string* bytes);

// The values as the installer reads them back from the file's bytes.
ControlValues ReadControlFile(const std::string& bytes);
