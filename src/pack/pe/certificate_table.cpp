#include "pack/pe/certificate_table.h"

#include "format/installer_format.h"
#include "pack/pe/pe_image.h"

CertificateTable NamedCertificateTable(const std::vector<uint8_t>& installer) {
    PeImage image = ReadPeImage(installer);   // no entry within the stub reads as none
    return CertificateTable{image.certificateTableOffset, image.certificateTableSize};
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
    PeImage image = ReadPeImage(stub);
    if (!image.hasSecurityEntry) return "has no room for a security entry after its PE header";
    if (image.optionalMagic != PE32_MAGIC) return "has no PE32 optional header, so it cannot be signed";
    if (image.directoryCount <= PE_SECURITY_ENTRY_INDEX)
        return "has no security entry in its data directory, so it cannot be signed";
    if (image.certificateTableSize != 0) return "is signed itself; sign the installer, not the stub";
    return {};
}
