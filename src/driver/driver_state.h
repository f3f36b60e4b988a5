// The installer driver's state: process-wide, from start-up to exit, on one thread.
#pragma once
#include <stdint.h>

#include "format/installer_format.h"
#include "strings/text.h"

// Channel numbers the driver uses.
enum { ARCHIVE_CHANNEL = 1, FILE_CHANNEL = 1, LIST_CHANNEL = 2 };

struct DriverState {
    int32_t archiveOffset;
    int32_t unpackedSize;
    int32_t storedSize;
    uint32_t expectedCrc;
    uint8_t* entryStream;
    uint8_t* storedBlock;
    int32_t readPosition;
    int32_t sizeCode;
    TextVar targetDirectory;
    TextVar partialPath;
    int32_t createdTarget;   // the target chain's walk made the target itself; a temporary run needs it
    TextVar entryName;
    TextVar fullPath;
    int32_t controlFileSize;   // of the archive's own control file; 0: none
    TextVar controlLines[CONTROL_LINE_COUNT];
    TextVar listPath;
};

extern DriverState driver;

void LoadOwnArchive();
void ExtractEntries();
void CompleteInstallation();
// The archive's control file, from its bytes in the entry stream; and whether
// its lines choose the temporary run.
void ReadControlFile(const char* at, int32_t size);
int32_t RunsTemporarily();

// The ends of every run; none returns. What was written stays on disk.
[[noreturn]] void NormalExit();
[[noreturn]] void InvalidArchiveExit();
// An entry is not on disk as the archive says: nothing of the completion follows.
[[noreturn]] void InstallFailedExit();
