// The target directory that the installer creates and extracts into.
#pragma once
#include <string>

// The target when none is given: the directory the installer is started in.
constexpr const char* DEFAULT_TARGET = ".\\";

// The target as the installer needs it: ending with a backslash, and a
// relative one starting with "." (the installer never creates the first
// part of a relative target's chain: "App" would stay missing, ".\App" not).
std::string NormalizedTarget(const std::string& target);

// Why the target (UTF-8, with its trailing backslash) cannot be used, or empty.
// Accepted: ".\", relative paths, "\dir\", "C:\dir\" and "\\server\share\dir\".
std::string TargetDirectoryProblem(const std::string& target);
