#include "pack/pe/pe_image.h"

#include <algorithm>

#include "format/installer_format.h"
#include "format/little_endian.h"

static const uint32_t PE_HEADER_POINTER = 0x3C;   // in the MZ header
static const uint32_t PE_SIGNATURE_SIZE = 4;      // "PE\0\0"
static const uint32_t SECTION_ENTRY_SIZE = 40;
static const uint32_t SECTION_RAW_SIZE_FIELD = 16;   // in a section entry, then the raw data's offset

bool HasMzHeader(const std::vector<uint8_t>& file) { return file.size() >= 2 && file[0] == 'M' && file[1] == 'Z'; }

std::optional<uint32_t> FindPeHeader(const std::vector<uint8_t>& file, uint32_t span) {
    if (file.size() < ARCHIVE_OFFSET || !HasMzHeader(file)) return std::nullopt;
    uint32_t pe = ReadLittleEndian32(&file[PE_HEADER_POINTER]);
    if ((uint64_t)pe + std::max(span, PE_SIGNATURE_SIZE) > ARCHIVE_OFFSET) return std::nullopt;
    if (file[pe] != 'P' || file[pe + 1] != 'E' || file[pe + 2] != 0 || file[pe + 3] != 0) return std::nullopt;
    return pe;
}

uint64_t PeSectionsEnd(const std::vector<uint8_t>& file) {
    std::optional<uint32_t> pe = FindPeHeader(file, PE_OPTIONAL_HEADER);
    if (!pe) return 0;
    uint32_t count = ReadLittleEndian16(&file[*pe + PE_SECTION_COUNT_FIELD]);
    uint32_t table = *pe + PE_OPTIONAL_HEADER + ReadLittleEndian16(&file[*pe + PE_OPTIONAL_HEADER_SIZE_FIELD]);
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
