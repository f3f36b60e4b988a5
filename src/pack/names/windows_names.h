// What Windows accepts as names: checks on the host's names before they go
// into an archive (the installer's own rule, IsSafeEntryName, is the format's).
#pragma once
#include <cstddef>
#include <string>

#include "problem/problem.h"

// Windows' limits for ANSI paths, in characters without the NUL: 260 with the
// NUL for a file, 248 with the NUL for a directory that CreateDirectory makes
// (it keeps room for an 8.3 name below it).
constexpr size_t MAX_FILE_PATH = 259;
constexpr size_t MAX_DIRECTORY_PATH = 247;
// The longest name of one file or directory, in characters.
constexpr size_t MAX_NAME_LENGTH = 255;

// Why Windows would refuse or change this one path component (UTF-8), or none.
Problem WindowsNameProblem(const std::string& component);
// Why a name that the installer creates could be another file's short (8.3)
// name ("LONGFI~1.TXT", "QUAR~OQD.DOC": a '~', a base of at most 8 and an
// extension of at most 3 characters), or none. Windows opens the file that
// has it as its short name, so the installer would overwrite that file. A
// target directory may use them: it only names where to extract.
Problem ShortNameProblem(const std::string& component);

// A key equal for names that Windows takes as the same file (it ignores
// case); the empty key for text that is not UTF-8.
std::u32string CaseFoldedKey(const std::string& utf8);
// The text with A to Z as a to z, for the ASCII words and endings that
// Windows looks for in a program's name in any case ("Setup", ".EXE").
std::string AsciiLowercase(const std::string& text);
