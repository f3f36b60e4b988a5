// Writes a file whole or not at all: into a temporary file beside it, made
// before the slow work (so an unwritable place fails at once), then renamed
// over the name. An interrupt (Ctrl-C, SIGTERM, SIGHUP) removes the temporary
// files, so no partial file is ever left under either name.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct PendingFile {
    std::string path;
    std::string temporaryPath;   // empty once finished or abandoned
    int descriptor = -1;
    int slot = -1;               // its place in the list an interrupt cleans up
    dev_t device = 0;            // the temporary file's identity, for walks that must pass it by
    ino_t inode = 0;
};

// Empty on success, else "<path>: <problem>". At most two files are pending at once.
std::string BeginPendingFile(const std::string& path, PendingFile* file);
// The same, but only the temporary name is kept, with no file under it, for a
// helper program that will not write over an existing file.
std::string BeginPendingName(const std::string& path, PendingFile* file);
// Writes the parts in order and closes the temporary file, which keeps its
// temporary name; on failure it is gone. Empty on success.
std::string WritePendingFile(PendingFile* file, const std::vector<const std::vector<uint8_t>*>& parts);
// Renames the finished temporary file over the name; on failure it is gone.
std::string CommitPendingFile(PendingFile* file);
// WritePendingFile, then CommitPendingFile.
std::string FinishPendingFile(PendingFile* file, const std::vector<const std::vector<uint8_t>*>& parts);
void AbandonPendingFile(PendingFile* file);

// A helper process that writes a pending temporary file (0: none). An
// interrupt kills it before removing the files, so that it cannot make one again.
void SetPendingFileWriter(pid_t process);
