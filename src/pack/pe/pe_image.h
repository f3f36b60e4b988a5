// The stub's PE image as the builder reads and patches it: the MZ header's
// pointer to the PE header, and the fields after that header which the
// builder uses. The stub's headers lie within its ARCHIVE_OFFSET bytes, so
// nothing here looks further, whatever follows in the file.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

// From the PE header ("PE\0\0"): the file header, then the PE32 optional header.
enum : uint32_t {
    PE_MACHINE_FIELD = 4,
    PE_SECTION_COUNT_FIELD = 6,
    PE_OPTIONAL_HEADER_SIZE_FIELD = 20,
    PE_OPTIONAL_HEADER = 24,   // its size is in the file header; the section table follows it
    PE_OPTIONAL_MAGIC_FIELD = PE_OPTIONAL_HEADER,
    PE_CHECKSUM_FIELD = 0x58,
    PE_DIRECTORY_COUNT_FIELD = 0x74,   // the data directory's entries
    PE_SECURITY_ENTRY = 0x98,          // data directory entry 4: a file offset, then a size
    PE_SECURITY_ENTRY_INDEX = 4,
};
constexpr uint16_t PE_MACHINE_I386 = 0x14C;
constexpr uint16_t PE32_MAGIC = 0x10B;

[[nodiscard]] bool HasMzHeader(const std::vector<uint8_t>& file);

// Where the PE header starts: the file begins with an MZ header that names a
// PE header whose first span bytes lie within the stub; none otherwise.
[[nodiscard]] std::optional<uint32_t> FindPeHeader(const std::vector<uint8_t>& file, uint32_t span);

// Where the image's sections end in the file, as its section table says; 0
// when it has no PE header.
[[nodiscard]] uint64_t PeSectionsEnd(const std::vector<uint8_t>& file);
