// The installer file: the stub, the archive header, the stored block.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pack/encoder.h"

enum PackLevel { LEVEL_STORE, LEVEL_FAST, LEVEL_BEST };

// Header and stored block for the entry stream. The block is compressed at
// the level unless that does not make it shorter: a block as long as the
// stream would be taken for the stream itself.
std::vector<uint8_t> MakeArchive(const std::vector<uint8_t>& stream, PackLevel level, EncodeProgressFn progress,
                                 void* context);

// Why these bytes cannot serve as the stub, or empty.
std::string StubProblem(const std::vector<uint8_t>& stub);

struct ArchiveInfo {
    int32_t unpackedSize = 0;
    int32_t storedSize = 0;
    uint32_t expectedCrc = 0;
    bool compressed = false;
};

// Decodes and checks an archive (header and stored block, running exactly to
// the end) as the installer does; empty on success (the entry stream is then
// filled), else the reason.
std::string LoadArchive(const uint8_t* archive, size_t size, ArchiveInfo* info, std::vector<uint8_t>* stream);

// The same for an installer file, whose archive follows the stub.
std::string LoadInstallerArchive(const std::vector<uint8_t>& installer, ArchiveInfo* info,
                                 std::vector<uint8_t>* stream);
