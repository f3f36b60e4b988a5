// The entry stream: the target directory, then entries (size code, name,
// data), then the end code -1. Written by the builder, read back by list,
// verify and extract with the installer's own rules.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "problem/problem.h"

// A file or directory of the host that goes into the stream.
struct SourceEntry {
    std::string hostPath;   // where the builder reads it
    std::string name;       // entry name in the code page: '\' between parts, directories end with '\'
    bool isDirectory = false;
    uint64_t size = 0;
};

typedef void (*ByteProgressFn)(void* context, uint64_t bytesDone, uint64_t bytesTotal);

// The stream's exact length for these entries and control file (empty: none).
uint64_t EntryStreamSize(const std::string& target, const std::vector<SourceEntry>& entries,
                         const std::string& controlFile);

// Reads every file into the stream, the control file last; none on success,
// else "<path>: <problem>" (unreadable, or changed while it was read).
Problem BuildEntryStream(const std::string& target, const std::vector<SourceEntry>& entries,
                         const std::string& controlFile, ByteProgressFn progress, void* context,
                         std::vector<uint8_t>* stream);

struct StreamEntry {
    int32_t sizeCode = 0;    // SIZE_CODE_DIRECTORY, 0, or the file's size
    std::string name;        // code page, as stored
    size_t dataOffset = 0;   // where a file's bytes start in the stream
};

struct ParsedStream {
    std::string target;
    std::vector<StreamEntry> entries;
    bool hasEndCode = false;
    size_t bytesAfterEnd = 0;   // the installer ignores what follows the end code
};

// Walks the stream as the installer does; none on success, else why the
// installer would refuse it (the entries before the fault are kept).
Problem ParseEntryStream(const std::vector<uint8_t>& stream, ParsedStream* parsed);
