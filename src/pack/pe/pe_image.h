// The stub's PE image as the builder reads it: the MZ header's pointer to the
// PE header, and the fields after that header which the builder uses. The
// stub's headers lie within its ARCHIVE_OFFSET bytes, so nothing here looks
// further, whatever follows in the file. The PE format's offsets are known
// here alone; the rest of the builder takes the fields and offsets read here.
#pragma once
#include <cstdint>
#include <vector>

constexpr uint16_t PE_MACHINE_I386 = 0x14C;
constexpr uint16_t PE32_MAGIC = 0x10B;
constexpr uint32_t PE_SECURITY_ENTRY_INDEX = 4;   // the certificate table's entry in the data directory

// What the image's headers say. A field is read only where it lies within the
// stub; each group says whether it did.
struct PeImage {
    bool hasMzHeader = false;
    bool hasPeHeader = false;   // the MZ header names a PE header whose machine field lies within the stub
    uint16_t machine = 0;
    uint64_t sectionsEnd = 0;        // where the sections end in the file, as the section table says; 0: unknown
    uint32_t checksumOffset = 0;     // where the optional header's checksum lies in the file; 0: not within the stub
    bool hasSecurityEntry = false;   // the data directory's security entry lies within the stub, and with it:
    uint16_t optionalMagic = 0;      // the optional header's magic,
    uint32_t directoryCount = 0;     // the data directory's entries,
    uint32_t certificateTableOffset = 0;   // and the entry: the table's file offset and size
    uint32_t certificateTableSize = 0;
};

PeImage ReadPeImage(const std::vector<uint8_t>& file);
