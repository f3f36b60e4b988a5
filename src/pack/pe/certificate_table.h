// A signed installer: signing tools append a certificate table after the
// archive and name it in the stub's PE header (the security entry of the data
// directory, whose address is a file offset). The installer accepts those
// bytes after the stored block and no others; the builder applies the same rule.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "problem/problem.h"

struct CertificateTable {
    uint32_t offset = 0;   // in the file
    uint32_t size = 0;     // 0: the header names no table
};

// The table the PE header of the installer's stub names; none when the header
// cannot hold the entry.
CertificateTable NamedCertificateTable(const std::vector<uint8_t>& installer);

// Why the bytes from archiveEnd to the end of the file are not exactly the
// named table (which may start up to CERTIFICATE_TABLE_MAX_PADDING bytes
// late); none when they are.
Problem TrailingBytesProblem(const CertificateTable& table, uint64_t archiveEnd, uint64_t fileSize);

// Why a stub (already a sound one) cannot carry a signature the installer
// accepts, or none: it needs a PE32 optional header with a security entry.
Problem SignableStubProblem(const std::vector<uint8_t>& stub);
