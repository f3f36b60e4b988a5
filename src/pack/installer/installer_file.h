// The installer file: the stub, the archive header, the stored block.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "codec/encoder.h"
#include "pack/pe/certificate_table.h"
#include "problem/problem.h"

// The archive that the builder packs from an entry stream: its header, then
// its stored block, which is the compressed block or, when compressing does
// not make it shorter, the stream itself (a block as long as the stream would
// be taken for the stream).
struct PackedArchive {
    std::vector<uint8_t> header;
    std::vector<uint8_t> compressedBlock;   // empty when the stream is stored as it is
};

PackedArchive PackArchive(const std::vector<uint8_t>& stream, const CompressionLevel& level, uint32_t threads,
                          EncodeProgressFn progress, void* context);
const std::vector<uint8_t>& StoredBlock(const PackedArchive& archive, const std::vector<uint8_t>& stream);

// Whether the compressed block decodes, as the installer will decode it, to
// the size and CRC-32 that the header gives. The header was made from the
// stream, so this proves the archive as the installer checks it, and needs
// no copy of the stream (which create lets go of first).
[[nodiscard]] bool BlockUnpacksAsItsHeaderSays(const PackedArchive& archive);

// Why these bytes cannot serve as the stub, or none.
Problem StubProblem(const std::vector<uint8_t>& stub);

struct ArchiveInfo {
    int32_t unpackedSize = 0;
    int32_t storedSize = 0;
    uint32_t expectedCrc = 0;
    bool compressed = false;
    CertificateTable signature;   // the table after the archive; size 0: unsigned
};

// Decodes and checks an archive (header and stored block, running exactly to
// the end) as the installer does; none on success (the entry stream is then
// filled), else the reason.
Problem UnpackArchive(const uint8_t* archive, size_t size, ArchiveInfo* info, std::vector<uint8_t>* stream);

// The same for an installer file, whose archive follows the stub and may be
// followed by the certificate table its stub's PE header names.
Problem UnpackInstallerArchive(const std::vector<uint8_t>& installer, ArchiveInfo* info, std::vector<uint8_t>* stream);
