#include "pack/pe/pe_image.h"

#include <algorithm>
#include <optional>

#include "format/installer_format.h"
#include "format/little_endian.h"

static const uint32_t PE_HEADER_POINTER = 0x3C;   // in the MZ header
static const uint32_t PE_SIGNATURE_SIZE = 4;      // "PE\0\0"
// From the PE header: the file header, then the PE32 optional header.
static const uint32_t PE_MACHINE_FIELD = 4;
static const uint32_t PE_SECTION_COUNT_FIELD = 6;
static const uint32_t PE_OPTIONAL_HEADER_SIZE_FIELD = 20;
static const uint32_t PE_OPTIONAL_HEADER = 24;   // its size is in the file header; the section table follows it
static const uint32_t PE_OPTIONAL_MAGIC_FIELD = PE_OPTIONAL_HEADER;
static const uint32_t PE_CHECKSUM_FIELD = 0x58;
static const uint32_t PE_DIRECTORY_COUNT_FIELD = 0x74;   // the data directory's entries
static const uint32_t PE_SECURITY_ENTRY = 0x98;          // data directory entry 4: a file offset, then a size
static const uint32_t SECTION_ENTRY_SIZE = 40;
static const uint32_t SECTION_RAW_SIZE_FIELD = 16;   // in a section entry, then the raw data's offset

static bool HasMzHeader(const std::vector<uint8_t>& file) {
    return file.size() >= 2 && file[0] == 'M' && file[1] == 'Z';
}

// Where the PE header starts: the file begins with an MZ header that names a
// PE header within the stub; none otherwise.
static std::optional<uint32_t> FindPeHeader(const std::vector<uint8_t>& file) {
    if (file.size() < ARCHIVE_OFFSET || !HasMzHeader(file)) return std::nullopt;
    uint32_t pe = ReadLittleEndian32(&file[PE_HEADER_POINTER]);
    if ((uint64_t)pe + PE_SIGNATURE_SIZE > ARCHIVE_OFFSET) return std::nullopt;
    if (file[pe] != 'P' || file[pe + 1] != 'E' || file[pe + 2] != 0 || file[pe + 3] != 0) return std::nullopt;
    return pe;
}

// Whether the header's first span bytes lie within the stub.
static bool Within(uint32_t pe, uint32_t span) { return (uint64_t)pe + span <= ARCHIVE_OFFSET; }

static uint64_t SectionsEnd(const std::vector<uint8_t>& file, uint32_t pe) {
    uint32_t count = ReadLittleEndian16(&file[pe + PE_SECTION_COUNT_FIELD]);
    uint32_t table = pe + PE_OPTIONAL_HEADER + ReadLittleEndian16(&file[pe + PE_OPTIONAL_HEADER_SIZE_FIELD]);
    uint64_t end = 0;
    for (uint32_t index = 0; index < count; ++index) {
        uint64_t entry = table + (uint64_t)index * SECTION_ENTRY_SIZE;
        if (entry + SECTION_ENTRY_SIZE > ARCHIVE_OFFSET) break;
        uint64_t sectionEnd = (uint64_t)ReadLittleEndian32(&file[entry + SECTION_RAW_SIZE_FIELD]) +
                              ReadLittleEndian32(&file[entry + SECTION_RAW_SIZE_FIELD + 4]);
        end = std::max(end, sectionEnd);
    }
    return end;
}

PeImage ReadPeImage(const std::vector<uint8_t>& file) {
    PeImage image;
    image.hasMzHeader = HasMzHeader(file);
    std::optional<uint32_t> found = FindPeHeader(file);
    if (!found) return image;
    uint32_t pe = *found;
    image.hasPeHeader = Within(pe, PE_MACHINE_FIELD + 2);
    if (image.hasPeHeader) image.machine = ReadLittleEndian16(&file[pe + PE_MACHINE_FIELD]);
    if (Within(pe, PE_OPTIONAL_HEADER)) image.sectionsEnd = SectionsEnd(file, pe);
    if (Within(pe, PE_CHECKSUM_FIELD + 4)) image.checksumOffset = pe + PE_CHECKSUM_FIELD;
    image.hasSecurityEntry = Within(pe, PE_SECURITY_ENTRY + 8);
    if (!image.hasSecurityEntry) return image;
    image.optionalMagic = ReadLittleEndian16(&file[pe + PE_OPTIONAL_MAGIC_FIELD]);
    image.directoryCount = ReadLittleEndian32(&file[pe + PE_DIRECTORY_COUNT_FIELD]);
    image.certificateTableOffset = ReadLittleEndian32(&file[pe + PE_SECURITY_ENTRY]);
    image.certificateTableSize = ReadLittleEndian32(&file[pe + PE_SECURITY_ENTRY + 4]);
    return image;
}
