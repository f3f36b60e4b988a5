// Walks the directory to be packed: directories before their contents, names
// sorted byte-wise at every level, so the same tree always gives the same order.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pack/installer/entry_stream.h"
#include "pack/names/code_page.h"
#include "platform/platform.h"
#include "problem/problem.h"

struct WalkOptions {
    const CodePage* codePage = nullptr;
    std::string target;   // code page, ends with '\': full paths are target + name
    bool followLinks = false;
    bool controlFileWanted = false;   // the top level must then leave the script's name free
    std::vector<FileIdentity> skip;   // files not to pack: the output and its temporary file
};

// Fills entries in stream order; none on success, else "<path>: <problem>",
// with *outsideCodePage set when the problem is a name the code page lacks.
Problem WalkTree(const std::string& root, const WalkOptions& options, std::vector<SourceEntry>* entries,
                 bool* outsideCodePage = nullptr);
