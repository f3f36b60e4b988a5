// Signing installers with osslsigncode, and asking it whether a signature holds.
#pragma once
#include <string>
#include <vector>

#include "pack/host/atomic_file.h"
#include "pack/pe/certificate_table.h"
#include "problem/problem.h"

extern const char* const SIGNING_TOOL;

struct SigningOptions {
    std::string certificate;   // empty: the installer is not signed
    std::string key;
    std::string passwordFile;                 // empty: the key is not encrypted
    std::vector<std::string> timestampUrls;   // RFC 3161 servers, tried in order; none: no timestamp
};

// Checks made before the slow work: the tool is installed, the files can be
// read, and SOURCE_DATE_EPOCH, when set, is a time. None, or the reason.
Problem SigningInputsProblem(const SigningOptions& options);

// Signs the finished unsigned installer (written, not yet committed) into a
// second temporary file beside it (with a timestamp from the first server
// that gives one, each asked twice, as a server may fail once), checks that the result loads as the
// installer loads it, with the same archive header, and renames it over the
// output's name. The unsigned file stays for the caller to abandon. None on
// success (the table is then filled), else the reason; nothing is left behind.
Problem SignPendingInstaller(const SigningOptions& options, const PendingFile& unsignedFile,
                             const std::vector<uint8_t>& archiveHeader, CertificateTable* table);

struct SignatureCheck {
    bool toolFound = false;
    bool accepted = false;
    std::string complaint;        // why it was not accepted
    bool signerUnknown = false;   // self-signed, or by an authority not among the trusted ones
};

// Runs "osslsigncode verify" on the file; trustedCertificates (a PEM file)
// replaces the system's certificate authorities when given.
SignatureCheck CheckSignature(const std::string& path, const std::string& trustedCertificates);
