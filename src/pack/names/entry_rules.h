// The rules every entry of an installer keeps, one set for the tree that
// create walks and for the entries that verify reads back: each part of the
// name is one that Windows accepts and the code page holds, the installer
// takes the name as meant (IsSafeEntryName), the installed path fits
// Windows' limits, and no two entries name the same file, nor a file where a
// directory is or the other way round (which the installer would lose
// silently and the host could not extract).
#pragma once
#include <map>
#include <string>

#include "pack/names/code_page.h"
#include "problem/problem.h"

struct SeenEntry {
    std::string path;   // UTF-8, without a directory's trailing backslash
    bool isDirectory = false;
    bool implied = false;   // a directory named only by the entries below it
};

struct EntryRules {
    const CodePage* codePage = nullptr;
    std::string target;         // code page, with its trailing backslash: installed paths are target + name
    bool controlFile = false;   // the installer has a control file, so the script's name is taken
    std::map<std::u32string, SeenEntry> seen;   // by case-folded path
};

// Why the entry (its name in the code page, '\' between parts, a directory's
// ending in '\') cannot be installed as named after the entries checked
// before it, or none.
Problem EntryRuleProblem(EntryRules* rules, const std::string& name, bool isDirectory);
