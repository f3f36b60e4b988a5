#include "pack/pe/certificate_table.h"

#include "format/installer_format.h"
#include "format/little_endian.h"
#include "pack/pe/pe_image.h"

// The PE header, when the security entry lies inside the stub.
static std::optional<uint32_t> PeHeaderWithSecurityEntry(const std::vector<uint8_t>& file) {
    return FindPeHeader(file, PE_SECURITY_ENTRY + 8);
}

CertificateTable NamedCertificateTable(const std::vector<uint8_t>& installer) {
    CertificateTable table;
    std::optional<uint32_t> pe = PeHeaderWithSecurityEntry(installer);
    if (!pe) return table;
    table.offset = ReadLittleEndian32(&installer[*pe + PE_SECURITY_ENTRY]);
    table.size = ReadLittleEndian32(&installer[*pe + PE_SECURITY_ENTRY + 4]);
    return table;
}

Problem TrailingBytesProblem(const CertificateTable& table, uint64_t archiveEnd, uint64_t fileSize) {
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
    return {};
}

Problem SignableStubProblem(const std::vector<uint8_t>& stub) {
    std::optional<uint32_t> pe = PeHeaderWithSecurityEntry(stub);
    if (!pe) return "has no room for a security entry after its PE header";
    if (ReadLittleEndian16(&stub[*pe + PE_OPTIONAL_MAGIC_FIELD]) != PE32_MAGIC)
        return "has no PE32 optional header, so it cannot be signed";
    if (ReadLittleEndian32(&stub[*pe + PE_DIRECTORY_COUNT_FIELD]) <= PE_SECURITY_ENTRY_INDEX)
        return "has no security entry in its data directory, so it cannot be signed";
    if (ReadLittleEndian32(&stub[*pe + PE_SECURITY_ENTRY + 4]) != 0)
        return "is signed itself; sign the installer, not the stub";
    return {};
}
