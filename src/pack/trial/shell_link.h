// A shell link (.lnk), read back as Windows would: the header, the target's
// item list (skipped), the link information that holds the target's path,
// then the strings (description, relative path, working directory,
// arguments, icon location).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pack/names/code_page.h"

struct ShellLink {
    std::string target;   // UTF-8, as are the others
    std::string arguments;
    std::string workingDirectory;
    std::string icon;   // the icon's file, with ",N" after it for an icon other than the first
    std::string description;
};

// Empty on success, else why the bytes are not a shell link. Texts that the
// link holds in the ANSI code page are read in the code page given.
Problem ReadShellLink(const std::vector<uint8_t>& bytes, const CodePage& codePage, ShellLink* link);
