// Writes a file whole or not at all: into a temporary file beside it, made
// before the slow work (so an unwritable place fails at once), then renamed
// over the name. An interrupt (Ctrl-C, SIGTERM, SIGHUP) removes the temporary
// files, so no partial file is ever left under either name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "problem/problem.h"

struct PendingFile {
    std::string path;
    std::string temporaryPath;   // empty once finished or abandoned
    OpenFile file;
    int slot = -1;           // its registration for removal on an interrupt
    FileIdentity identity;   // the temporary file's, for walks that must pass it by
};

// None on success, else "<path>: <problem>". At most two files are pending at once.
Problem BeginPendingFile(const std::string& path, PendingFile* file);
// The same, but only the temporary name is kept, with no file under it, for a
// helper program that will not write over an existing file.
Problem BeginPendingName(const std::string& path, PendingFile* file);
// Writes the parts in order and closes the temporary file, which keeps its
// temporary name; on failure it is gone. None on success.
Problem WritePendingFile(PendingFile* file, const std::vector<const std::vector<uint8_t>*>& parts);
// Renames the finished temporary file over the name; on failure it is gone.
Problem CommitPendingFile(PendingFile* file);
void AbandonPendingFile(PendingFile* file);
