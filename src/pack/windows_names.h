// What Windows and the installer accept as names: checks on the host's names
// before they go into an archive, and the installer's own rule for entry names.
#pragma once
#include <string>

// Why Windows would refuse or change this one path component (UTF-8), or empty.
std::string WindowsNameProblem(const std::string& component);

// The installer's rule for an entry name (code-page bytes): no leading
// separator, no ':' anywhere, no ".." component; '\' and '/' both separate.
bool IsSafeEntryName(const std::string& name);

// A key equal for names that Windows takes as the same file (it ignores case).
std::u32string CaseFoldedKey(const std::string& utf8);
