// Recreates an archive's entries under a directory of the host, for
// inspection: the archive's target directory is replaced by that directory.
#pragma once
#include <string>
#include <vector>

#include "pack/installer/entry_stream.h"
#include "pack/names/code_page.h"
#include "problem/problem.h"

struct ExtractReport {
    size_t files = 0;
    size_t directories = 0;
    std::vector<std::string> skipped;   // entries that a host directory cannot hold, with why
};

// The stream must have passed ParseEntryStream (so no name leaves the
// directory). The directory must be missing or empty: nothing is overwritten.
// None on success, else "<path>: <problem>".
Problem ExtractToDirectory(const std::vector<uint8_t>& stream, const ParsedStream& parsed, const CodePage& codePage,
                           const std::string& directory, ExtractReport* report);
