// Helpers for Windows unit tests: fresh scratch directories and whole-file I/O.
#pragma once
#include <windows.h>

#include <string>

#include "../common/whole_file.h"

// A new, empty directory under the temporary directory, ending in a backslash.
inline std::string MakeScratchDirectory(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + "sfx_" + name + "_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

inline bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
