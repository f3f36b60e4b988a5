#include "pack/installer/installer_file.h"

#include <algorithm>
#include <cstdio>

#include "archive/block_decoder.h"
#include "archive/crc32.h"
#include "format/installer_format.h"
#include "format/little_endian.h"
#include "pack/pe/pe_image.h"

static const char* const NO_ARCHIVE = "not an installer made by sfxpack (no archive after the installer stub)";

PackedArchive PackArchive(const std::vector<uint8_t>& stream, const CompressionLevel& level, uint32_t threads,
                          EncodeProgressFn progress, void* context) {
    PackedArchive archive;
    if (level.parse)
        archive.compressedBlock = EncodeBlock(stream.data(), stream.size(), level, threads, progress, context);
    if (archive.compressedBlock.size() >= stream.size()) archive.compressedBlock = std::vector<uint8_t>();
    archive.header.assign(ARCHIVE_HEADER_SIZE, 0);
    WriteLittleEndian32(&archive.header[ARCHIVE_UNPACKED_SIZE_FIELD], (uint32_t)stream.size());
    WriteLittleEndian32(&archive.header[ARCHIVE_STORED_SIZE_FIELD], (uint32_t)StoredBlock(archive, stream).size());
    WriteLittleEndian32(&archive.header[ARCHIVE_CRC_FIELD], Crc32Fingerprint(stream.data(), (uint32_t)stream.size()));
    return archive;
}

const std::vector<uint8_t>& StoredBlock(const PackedArchive& archive, const std::vector<uint8_t>& stream) {
    return archive.compressedBlock.empty() ? stream : archive.compressedBlock;
}

Problem StubProblem(const std::vector<uint8_t>& stub) {
    if (stub.size() != ARCHIVE_OFFSET)
        return "is " + std::to_string(stub.size()) + " bytes; a stub is exactly " + std::to_string(ARCHIVE_OFFSET);
    if (!HasMzHeader(stub)) return "is not a Windows program (no MZ header)";
    std::optional<uint32_t> pe = FindPeHeader(stub, PE_MACHINE_FIELD + 2);
    if (!pe) return "is not a PE image (no PE header)";
    if (ReadLittleEndian16(&stub[*pe + PE_MACHINE_FIELD]) != PE_MACHINE_I386) return "is not a 32-bit x86 PE image";
    return {};
}

static std::string Hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof(text), "0x%08X", value);
    return text;
}

// Why the compressed block cannot decode to the unpacked size, told from its
// own header before any memory is taken for the stream; empty when it may.
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
    const std::vector<uint8_t>& block = archive.compressedBlock;
    if (archive.header.size() != ARCHIVE_HEADER_SIZE) return false;
    int32_t unpackedSize = (int32_t)ReadLittleEndian32(archive.header.data() + ARCHIVE_UNPACKED_SIZE_FIELD);
    uint32_t storedSize = ReadLittleEndian32(archive.header.data() + ARCHIVE_STORED_SIZE_FIELD);
    if (unpackedSize <= 0 || storedSize != block.size() ||
        BlockSizeProblem(block.data(), (uint32_t)block.size(), unpackedSize))
        return false;
    std::vector<uint8_t> decoded((size_t)unpackedSize);
    return DecodeBlock(block.data(), (uint32_t)block.size(), decoded.data(), (uint32_t)decoded.size()) ==
               (uint32_t)unpackedSize &&
           Crc32Fingerprint(decoded.data(), (uint32_t)decoded.size()) ==
               ReadLittleEndian32(archive.header.data() + ARCHIVE_CRC_FIELD);
}

Problem UnpackArchive(const uint8_t* archive, size_t size, ArchiveInfo* info, std::vector<uint8_t>* stream) {
    *info = ArchiveInfo();
    stream->clear();
    if (size < ARCHIVE_HEADER_SIZE) return "the archive header is cut short";
    info->unpackedSize = (int32_t)ReadLittleEndian32(archive + ARCHIVE_UNPACKED_SIZE_FIELD);
    info->storedSize = (int32_t)ReadLittleEndian32(archive + ARCHIVE_STORED_SIZE_FIELD);
    info->expectedCrc = ReadLittleEndian32(archive + ARCHIVE_CRC_FIELD);
    int64_t available = (int64_t)(size - ARCHIVE_HEADER_SIZE);
    if (info->unpackedSize <= 0)
        return std::string(NO_ARCHIVE) + ": its header's unpacked size would be " + std::to_string(info->unpackedSize);
    if (info->storedSize < 0)
        return std::string(NO_ARCHIVE) + ": its header's stored size would be " + std::to_string(info->storedSize);
    const uint8_t* block = archive + ARCHIVE_HEADER_SIZE;
    info->compressed = info->storedSize != info->unpackedSize;
    // A compressed block names its own decoded size: checked on the part of it
    // that the file holds before the header's sizes are believed, so that
    // bytes that are no archive are not taken for a cut-short one.
    if (info->compressed) {
        Problem problem =
            BlockSizeProblem(block, (uint32_t)std::min<int64_t>(info->storedSize, available), info->unpackedSize);
        if (problem) return problem;
    }
    if (info->storedSize > available)
        return "the stored block (" + std::to_string(info->storedSize) + " bytes) runs past the end of the file (" +
               std::to_string(available) + " bytes follow the header)";

    if (info->compressed) {
        stream->assign((size_t)info->unpackedSize, 0);
        uint32_t decoded = DecodeBlock(block, (uint32_t)info->storedSize, stream->data(), (uint32_t)stream->size());
        if (decoded != (uint32_t)info->unpackedSize) {
            stream->clear();
            return "the compressed block is damaged (its bit stream or block checksum is wrong)";
        }
    } else {
        stream->assign(block, block + info->storedSize);
    }
    if (info->storedSize < available) {
        stream->clear();
        return std::to_string(available - info->storedSize) + " bytes follow the stored block";
    }
    uint32_t crc = Crc32Fingerprint(stream->data(), (uint32_t)stream->size());
    if (crc != info->expectedCrc) {
        stream->clear();
        return "the entry stream's CRC-32 is " + Hex(crc) + ", the header says " + Hex(info->expectedCrc);
    }
    return {};
}

// Where the stored block ends in the installer, as its header says; none when
// the header is cut short or its stored size is negative (UnpackArchive says why).
static std::optional<uint64_t> StoredBlockEnd(const std::vector<uint8_t>& installer) {
    if (installer.size() < ARCHIVE_OFFSET + ARCHIVE_HEADER_SIZE) return std::nullopt;
    int32_t storedSize = (int32_t)ReadLittleEndian32(&installer[ARCHIVE_OFFSET + ARCHIVE_STORED_SIZE_FIELD]);
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
    uint64_t imageEnd = PeSectionsEnd(installer);
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
