// The installer file: the stub, the archive header, the stored block.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "codec/encoder.h"
#include "pack/pe/certificate_table.h"
#include "problem/problem.h"

// The archive's header (format/installer_format.h), read and written here alone.
struct ArchiveHeader {
    int32_t unpackedSize = 0;   // the entry stream's
    int32_t storedSize = 0;     // the stored block's; the unpacked size: the stream stored as it is
    uint32_t expectedCrc = 0;   // the entry stream's CRC-32
};

// From the ARCHIVE_HEADER_SIZE bytes at bytes, as the installer reads them;
// and those bytes, as the builder writes them.
ArchiveHeader ReadArchiveHeader(const uint8_t* bytes);
std::vector<uint8_t> ArchiveHeaderBytes(const ArchiveHeader& header);
// Whether the stored block is compressed rather than the stream itself.
bool IsCompressed(const ArchiveHeader& header);

// The archive that the builder packs from an entry stream: its header, then
// its stored block, which is the compressed block or, when compressing does
// not make it shorter, the stream itself (a block as long as the stream would
// be taken for the stream).
struct PackedArchive {
    ArchiveHeader header;
    std::vector<uint8_t> block;
};

// Takes the stream over: it becomes the block when stored, and is let go of
// when compressed, so that its memory is free again once this returns.
PackedArchive PackArchive(std::vector<uint8_t> stream, const CompressionLevel& level, uint32_t threads,
                          EncodeProgressFn progress, void* context);

// Whether the block unpacks, as the installer will unpack it, to the size and
// CRC-32 that the header gives: a compressed block is decoded again (the
// header was made from the stream, so this proves the archive as the
// installer checks it, with no copy of the stream); a stored one is the
// stream itself, so only the sizes are compared.
[[nodiscard]] bool BlockUnpacksAsItsHeaderSays(const PackedArchive& archive);

// Why these bytes cannot serve as the stub, or none.
Problem StubProblem(const std::vector<uint8_t>& stub);

// Whether a file's bytes are an installer made by sfxpack, told from their
// shape alone: a stub, then an archive header whose stored block runs to the
// end of the file or to the certificate table the stub names, and a
// compressed block that announces the header's unpacked size. Nothing is decoded.
bool IsInstallerShaped(const uint8_t* bytes, size_t size);

struct ArchiveInfo {
    ArchiveHeader header;
    CertificateTable signature;   // the table after the archive; size 0: unsigned
};

// Decodes and checks an archive (header and stored block, running exactly to
// the end) as the installer does; none on success (the entry stream is then
// filled), else the reason.
Problem UnpackArchive(const uint8_t* archive, size_t size, ArchiveInfo* info, std::vector<uint8_t>* stream);

// The same for an installer file, whose archive follows the stub and may be
// followed by the certificate table its stub's PE header names.
Problem UnpackInstallerArchive(const std::vector<uint8_t>& installer, ArchiveInfo* info, std::vector<uint8_t>* stream);
