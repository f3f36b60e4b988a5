#include "pack/certificate_table.h"

#include "format/installer_format.h"
#include "format/little_endian.h"

static const uint32_t PE_HEADER_POINTER = 0x3C;       // in the MZ header
static const uint32_t OPTIONAL_HEADER_MAGIC = 0x18;   // from the PE header
static const uint32_t DIRECTORY_ENTRY_COUNT = 0x74;   // PE32: NumberOfRvaAndSizes
static const uint32_t SECURITY_ENTRY = 0x98;          // PE32: data directory entry 4
static const uint32_t SECURITY_ENTRY_INDEX = 4;
static const uint16_t PE32_MAGIC = 0x10B;

static uint32_t Int32At(const std::vector<uint8_t>& bytes, size_t at) { return ReadLittleEndian32(&bytes[at]); }

// Where the PE header starts, if its security entry lies inside the stub.
static bool SecurityEntryFits(const std::vector<uint8_t>& file, uint32_t* peHeader) {
    if (file.size() < ARCHIVE_OFFSET) return false;
    *peHeader = Int32At(file, PE_HEADER_POINTER);
    return *peHeader <= ARCHIVE_OFFSET - SECURITY_ENTRY - 8;
}

CertificateTable NamedCertificateTable(const std::vector<uint8_t>& installer) {
    CertificateTable table;
    uint32_t pe = 0;
    if (!SecurityEntryFits(installer, &pe)) return table;
    table.offset = Int32At(installer, pe + SECURITY_ENTRY);
    table.size = Int32At(installer, pe + SECURITY_ENTRY + 4);
    return table;
}

std::string TrailingBytesProblem(const CertificateTable& table, uint64_t archiveEnd, uint64_t fileSize) {
    if (table.size == 0) return "the PE header names no certificate table";
    uint64_t tableEnd = (uint64_t)table.offset + table.size;
    std::string named = "the certificate table the PE header names (" + std::to_string(table.size) +
                        " bytes at offset " + std::to_string(table.offset) + ")";
    if (table.offset < archiveEnd || table.offset - archiveEnd > CERTIFICATE_TABLE_MAX_PADDING)
        return named + " does not start within " + std::to_string(CERTIFICATE_TABLE_MAX_PADDING) +
               " bytes of the stored block's end (" + std::to_string(archiveEnd) + ")";
    if (tableEnd != fileSize)
        return named + " ends at " + std::to_string(tableEnd) + ", not at the end of the file (" +
               std::to_string(fileSize) + ")";
    return "";
}

std::string SignableStubProblem(const std::vector<uint8_t>& stub) {
    uint32_t pe = 0;
    if (!SecurityEntryFits(stub, &pe)) return "has no room for a security entry after its PE header";
    if ((stub[pe + OPTIONAL_HEADER_MAGIC] | stub[pe + OPTIONAL_HEADER_MAGIC + 1] << 8) != PE32_MAGIC)
        return "has no PE32 optional header, so it cannot be signed";
    if (Int32At(stub, pe + DIRECTORY_ENTRY_COUNT) <= SECURITY_ENTRY_INDEX)
        return "has no security entry in its data directory, so it cannot be signed";
    if (Int32At(stub, pe + SECURITY_ENTRY + 4) != 0) return "is signed itself; sign the installer, not the stub";
    return "";
}
