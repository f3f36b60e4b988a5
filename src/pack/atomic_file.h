// Writes a file whole or not at all: into a temporary file beside it, made
// before the slow work (so an unwritable place fails at once), then renamed
// over the name. An interrupt (Ctrl-C, SIGTERM, SIGHUP) removes the temporary
// file, so no partial file is ever left under either name.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct PendingFile {
    std::string path;
    std::string temporaryPath;   // empty once finished or abandoned
    int descriptor = -1;
    dev_t device = 0;            // the temporary file's identity, for walks that must pass it by
    ino_t inode = 0;
};

// Empty on success, else "<path>: <problem>".
std::string BeginPendingFile(const std::string& path, PendingFile* file);
// Writes the parts in order and renames; on failure the temporary file is gone.
std::string FinishPendingFile(PendingFile* file, const std::vector<const std::vector<uint8_t>*>& parts);
void AbandonPendingFile(PendingFile* file);
