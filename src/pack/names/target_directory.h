// The target directory that the installer creates and extracts into.
#pragma once
#include <string>

#include "problem/problem.h"

// The target when none is given: the directory the installer is started in.
constexpr const char* DEFAULT_TARGET = ".\\";

// The target as the installer needs it: ending with a backslash, and a
// relative one starting with "." (the installer never creates the first
// part of a relative target's chain: "App" would stay missing, ".\App" not).
std::string NormalizedTarget(const std::string& target);

// Why the target (UTF-8, with its trailing backslash) cannot be used, or none.
// Accepted: ".\", relative paths, "\dir\", "C:\dir\" and "\\server\share\dir\".
Problem TargetDirectoryProblem(const std::string& target);

// The target of a temporary run when none is given: a new directory beside
// the installer named after the output file, ".\setup.tmp\" for
// "dist/setup.exe", so that no packed file lands on a user's file there.
std::string TemporaryRunTarget(const std::string& outputPath);

// The target (normalized) with its "." and ".." parts resolved as Windows
// resolves them: "C:\A\..\B\" is "C:\B\", ".\sub\..\" is ".\"; a relative
// one that climbs out of where it starts keeps its leading "..\" parts.
std::string ResolvedTarget(const std::string& target);

// Whether the target starts with a single backslash: the root, or a
// directory below it, of whichever drive the installer is started from.
bool OnTheCurrentDrive(const std::string& target);

// Why a temporary run cannot extract into the target (normalized), or none:
// the directory the installer is started in, or one above or beside it,
// however spelled (".\", ".\sub\..\", "..\", "..\x\"), a drive's root
// ("\", "\x\..\", "C:\") or any directory on whichever drive the
// installer is started from ("\Temp\"). Their files are the user's: a
// packed file of the same name would overwrite one, and the run would then
// remove it.
Problem TemporaryRunTargetProblem(const std::string& target);

// Why a target of this many code-page characters leaves no room for the files
// the installer makes there (the script, with a control file), or none.
Problem TargetLengthProblem(size_t ansiLength, bool controlFile);
