#include "pack/installer/installer_file.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "archive/block_decoder.h"
#include "archive/crc32.h"
#include "format/installer_format.h"
#include "format/little_endian.h"
#include "pack/pe/pe_image.h"

static const char* const NO_ARCHIVE = "not an installer made by sfxpack (no archive after the installer stub)";

// A stream that the header can hold must fit in one compressed block.
static_assert(ARCHIVE_MAX_SIZE <= BLOCK_MAX_INPUT, "an archive's entry stream is one block's input");

ArchiveHeader ReadArchiveHeader(const uint8_t* bytes) {
    ArchiveHeader header;
    header.unpackedSize = (int32_t)ReadLittleEndian32(bytes + ARCHIVE_UNPACKED_SIZE_FIELD);
    header.storedSize = (int32_t)ReadLittleEndian32(bytes + ARCHIVE_STORED_SIZE_FIELD);
    header.expectedCrc = ReadLittleEndian32(bytes + ARCHIVE_CRC_FIELD);
    return header;
}

std::vector<uint8_t> ArchiveHeaderBytes(const ArchiveHeader& header) {
    std::vector<uint8_t> bytes(ARCHIVE_HEADER_SIZE, 0);
    WriteLittleEndian32(&bytes[ARCHIVE_UNPACKED_SIZE_FIELD], (uint32_t)header.unpackedSize);
    WriteLittleEndian32(&bytes[ARCHIVE_STORED_SIZE_FIELD], (uint32_t)header.storedSize);
    WriteLittleEndian32(&bytes[ARCHIVE_CRC_FIELD], header.expectedCrc);
    return bytes;
}

bool IsCompressed(const ArchiveHeader& header) { return header.storedSize != header.unpackedSize; }

PackedArchive PackArchive(std::vector<uint8_t> stream, const CompressionLevel& level, uint32_t threads,
                          EncodeProgressFn progress, void* context) {
    PackedArchive archive;
    archive.header.unpackedSize = (int32_t)stream.size();
    archive.header.expectedCrc = Crc32Fingerprint(stream.data(), (uint32_t)stream.size());
    if (level.parse) archive.block = EncodeBlock(stream.data(), stream.size(), level, threads, progress, context);
    if (!level.parse || archive.block.size() >= stream.size()) archive.block = std::move(stream);
    archive.header.storedSize = (int32_t)archive.block.size();
    return archive;
}

Problem StubProblem(const std::vector<uint8_t>& stub) {
    if (stub.size() != ARCHIVE_OFFSET)
        return "is " + std::to_string(stub.size()) + " bytes; a stub is exactly " + std::to_string(ARCHIVE_OFFSET);
    PeImage image = ReadPeImage(stub);
    if (!image.hasMzHeader) return "is not a Windows program (no MZ header)";
    if (!image.hasPeHeader) return "is not a PE image (no PE header)";
    if (image.machine != PE_MACHINE_I386) return "is not a 32-bit x86 PE image";
    return {};
}

static std::string Hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof(text), "0x%08X", value);
    return text;
}

// Why the compressed block cannot decode to the unpacked size, told from its
// own header before any memory is taken for the stream; none when it may.
static Problem BlockSizeProblem(const uint8_t* block, uint32_t blockLength, int32_t unpackedSize) {
    uint32_t announced = DecodedBlockSize(block, blockLength);
    if (announced == 0)
        return std::string(NO_ARCHIVE) + ": what follows its header is neither an entry stream nor a compressed block";
    if (announced != (uint32_t)unpackedSize)
        return "the compressed block decodes to " + std::to_string(announced) + " bytes, the header says " +
               std::to_string(unpackedSize);
    return {};
}

bool BlockUnpacksAsItsHeaderSays(const PackedArchive& archive) {
    const ArchiveHeader& header = archive.header;
    const std::vector<uint8_t>& block = archive.block;
    if (header.unpackedSize <= 0 || (uint32_t)header.storedSize != block.size()) return false;
    if (!IsCompressed(header)) return true;
    if (BlockSizeProblem(block.data(), (uint32_t)block.size(), header.unpackedSize)) return false;
    std::vector<uint8_t> decoded((size_t)header.unpackedSize);
    return DecodeBlock(block.data(), (uint32_t)block.size(), decoded.data(), (uint32_t)decoded.size()) ==
               (uint32_t)header.unpackedSize &&
           Crc32Fingerprint(decoded.data(), (uint32_t)decoded.size()) == header.expectedCrc;
}

Problem UnpackArchive(const uint8_t* archive, size_t size, ArchiveInfo* info, std::vector<uint8_t>* stream) {
    *info = ArchiveInfo();
    stream->clear();
    if (size < ARCHIVE_HEADER_SIZE) return "the archive header is cut short";
    const ArchiveHeader& header = info->header = ReadArchiveHeader(archive);
    int64_t available = (int64_t)(size - ARCHIVE_HEADER_SIZE);
    if (header.unpackedSize <= 0)
        return std::string(NO_ARCHIVE) + ": its header's unpacked size would be " + std::to_string(header.unpackedSize);
    if (header.storedSize < 0)
        return std::string(NO_ARCHIVE) + ": its header's stored size would be " + std::to_string(header.storedSize);
    const uint8_t* block = archive + ARCHIVE_HEADER_SIZE;
    bool compressed = IsCompressed(header);
    // A compressed block names its own decoded size: checked on the part of it
    // that the file holds before the header's sizes are believed, so that
    // bytes that are no archive are not taken for a cut-short one.
    if (compressed) {
        Problem problem =
            BlockSizeProblem(block, (uint32_t)std::min<int64_t>(header.storedSize, available), header.unpackedSize);
        if (problem) return problem;
    }
    if (header.storedSize > available)
        return "the stored block (" + std::to_string(header.storedSize) + " bytes) runs past the end of the file (" +
               std::to_string(available) + " bytes follow the header)";

    if (compressed) {
        stream->assign((size_t)header.unpackedSize, 0);
        uint32_t decoded = DecodeBlock(block, (uint32_t)header.storedSize, stream->data(), (uint32_t)stream->size());
        if (decoded != (uint32_t)header.unpackedSize) {
            stream->clear();
            return "the compressed block is damaged (its bit stream or block checksum is wrong)";
        }
    } else {
        stream->assign(block, block + header.storedSize);
    }
    if (header.storedSize < available) {
        stream->clear();
        return std::to_string(available - header.storedSize) + " bytes follow the stored block";
    }
    uint32_t crc = Crc32Fingerprint(stream->data(), (uint32_t)stream->size());
    if (crc != header.expectedCrc) {
        stream->clear();
        return "the entry stream's CRC-32 is " + Hex(crc) + ", the header says " + Hex(header.expectedCrc);
    }
    return {};
}

bool IsInstallerShaped(const uint8_t* bytes, size_t size) {
    if (size < ARCHIVE_OFFSET + ARCHIVE_HEADER_SIZE) return false;
    std::vector<uint8_t> stub(bytes, bytes + ARCHIVE_OFFSET);
    if (StubProblem(stub)) return false;
    ArchiveHeader header = ReadArchiveHeader(bytes + ARCHIVE_OFFSET);
    uint64_t end = ARCHIVE_OFFSET + ARCHIVE_HEADER_SIZE + (uint64_t)(int64_t)header.storedSize;
    if (header.unpackedSize <= 0 || header.storedSize <= 0 || end > size) return false;
    if (end < size && TrailingBytesProblem(NamedCertificateTable(stub), end, size)) return false;
    const uint8_t* block = bytes + ARCHIVE_OFFSET + ARCHIVE_HEADER_SIZE;
    return !IsCompressed(header) ||
           DecodedBlockSize(block, (uint32_t)header.storedSize) == (uint32_t)header.unpackedSize;
}

// Where the stored block ends in the installer, as its header says; none when
// the header is cut short or its stored size is negative (UnpackArchive says why).
static std::optional<uint64_t> StoredBlockEnd(const std::vector<uint8_t>& installer) {
    if (installer.size() < ARCHIVE_OFFSET + ARCHIVE_HEADER_SIZE) return std::nullopt;
    int32_t storedSize = ReadArchiveHeader(&installer[ARCHIVE_OFFSET]).storedSize;
    if (storedSize < 0) return std::nullopt;
    return ARCHIVE_OFFSET + ARCHIVE_HEADER_SIZE + (uint64_t)storedSize;
}

Problem UnpackInstallerArchive(const std::vector<uint8_t>& installer, ArchiveInfo* info, std::vector<uint8_t>* stream) {
    *info = ArchiveInfo();
    stream->clear();
    if (installer.size() <= ARCHIVE_OFFSET)
        return std::string(NO_ARCHIVE) + ": the file ends at offset " + std::to_string(installer.size());
    size_t archiveSize = installer.size() - ARCHIVE_OFFSET;
    std::optional<uint64_t> archiveEnd = StoredBlockEnd(installer);
    bool bytesFollow = archiveEnd && *archiveEnd < installer.size();
    CertificateTable table;
    Problem notTheTable;
    if (bytesFollow) {   // the archive itself is checked first, up to its end
        table = NamedCertificateTable(installer);
        notTheTable = TrailingBytesProblem(table, *archiveEnd, installer.size());
        archiveSize = (size_t)(*archiveEnd - ARCHIVE_OFFSET);
    }
    Problem problem = UnpackArchive(installer.data() + ARCHIVE_OFFSET, archiveSize, info, stream);
    uint64_t imageEnd = ReadPeImage(installer).sectionsEnd;
    if (problem && imageEnd > ARCHIVE_OFFSET)
        return std::string(NO_ARCHIVE) + ": this is a Windows program whose sections run to offset " +
               std::to_string(imageEnd) + ", past the stub's " + std::to_string(ARCHIVE_OFFSET) + " bytes";
    if (problem) return problem;
    if (notTheTable) {
        stream->clear();
        return std::to_string(installer.size() - *archiveEnd) + " bytes follow the stored block, and " +
               notTheTable.text;
    }
    if (bytesFollow) info->signature = table;
    return {};
}
