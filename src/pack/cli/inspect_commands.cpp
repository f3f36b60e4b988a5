// sfxpack list, verify and extract: each reads the installer as the installer
// itself would, and says why when it would refuse it.
#include <cstdio>
#include <cstring>
#include <set>

#include "format/installer_format.h"
#include "pack/cli/commands.h"
#include "pack/cli/progress_meter.h"
#include "pack/entry_stream.h"
#include "pack/host_extract.h"
#include "pack/installer_file.h"
#include "pack/signing.h"

namespace {

struct Installer {
    std::vector<uint8_t> file;
    ArchiveInfo info;
    std::vector<uint8_t> stream;
    ParsedStream parsed;
};

// Reads and checks the installer. Empty on success; else the reason, with as
// much of the stream parsed as the installer would have extracted.
std::string OpenInstaller(const std::string& path, Installer* installer) {
    std::string problem;
    if (!ReadWholeFile(path, &installer->file, &problem)) return problem;
    problem = LoadInstallerArchive(installer->file, &installer->info, &installer->stream);
    if (problem.empty()) problem = ParseEntryStream(installer->stream, &installer->parsed);
    return problem.empty() ? "" : path + ": invalid installer: " + problem;
}

// A name for the terminal: converted from the code page, or with its bytes escaped.
std::string Printable(const CodePage& codePage, const std::string& name) {
    std::string utf8;
    if (FromCodePage(codePage, name, &utf8)) return utf8;
    std::string escaped;
    for (unsigned char c : name) {
        char hex[8];
        snprintf(hex, sizeof(hex), c < 0x80 ? "%c" : "\\x%02X", c);
        escaped += hex;
    }
    return escaped;
}

bool IsControlFile(const StreamEntry& entry) {
    return entry.name == CONTROL_FILE_NAME && ControlFileIsRead(entry.sizeCode);
}

void PrintControlFile(const Installer& installer, const StreamEntry& entry, const CodePage& codePage) {
    const char* data = (const char*)installer.stream.data() + entry.dataOffset;
    ControlValues values = ReadControlFile(std::string(data, (size_t)entry.sizeCode));
    ControlValues shown = values;
    for (std::string ControlValues::*line : CONTROL_FILE_LINES) shown.*line = Printable(codePage, values.*line);
    const ControlModeSpec* mode = FindControlMode(values.mode);
    if (mode) printf("control file: %s\n", mode->describe(shown).c_str());
}

std::string SignatureText(const CertificateTable& table) {
    if (table.size == 0) return "none";
    return "certificate table of " + std::to_string(table.size) + " bytes at offset " + std::to_string(table.offset);
}

void PrintListing(const Installer& installer, const CodePage& codePage) {
    printf("target: %s\n", Printable(codePage, installer.parsed.target).c_str());
    const StreamEntry* control = nullptr;
    for (const StreamEntry& entry : installer.parsed.entries) {
        if (IsControlFile(entry)) control = &entry;
        std::string size = entry.sizeCode == SIZE_CODE_DIRECTORY ? "<dir>" : std::to_string(entry.sizeCode);
        printf("%12s  %s\n", size.c_str(), Printable(codePage, entry.name).c_str());
    }
    if (control) PrintControlFile(installer, *control, codePage);
    printf("signature: %s\n", SignatureText(installer.info.signature).c_str());
}

// Sound installers that still would not install, or not be trusted, as meant.
std::vector<std::string> Oddities(const Installer& installer) {
    const ParsedStream& parsed = installer.parsed;
    std::vector<std::string> found;
    std::set<std::string> directories;
    for (const StreamEntry& entry : parsed.entries) {
        size_t separator = entry.name.find_last_of("\\/", entry.name.size() >= 2 ? entry.name.size() - 2 : 0);
        std::string parent = separator == std::string::npos ? "" : entry.name.substr(0, separator + 1);
        if (!parent.empty() && !directories.count(parent))
            found.push_back("'" + entry.name + "' comes before the entry of its directory " + parent);
        if (entry.sizeCode == SIZE_CODE_DIRECTORY) directories.insert(entry.name);
    }
    if (parsed.bytesAfterEnd)
        found.push_back(std::to_string(parsed.bytesAfterEnd) + " bytes after the end code are never read");
    CertificateTable named = NamedCertificateTable(installer.file);
    if (installer.info.signature.size == 0 && named.size != 0)
        found.push_back("the PE header names a certificate table (" + SignatureText(named) + ") that is not there");
    return found;
}

// The installer does not look at its signature; Windows does, so say what the
// signing tool thinks of it.
void ReportSignatureCheck(const std::string& path, const SignatureCheck& check, bool quiet) {
    if (!check.toolFound && !quiet)
        printf("%s: signature not checked: %s is not installed\n", path.c_str(), SIGNING_TOOL);
    if (check.accepted && !quiet) printf("%s: signature accepted by %s verify\n", path.c_str(), SIGNING_TOOL);
    if (check.toolFound && !check.accepted)
        Warn(path + ": " + SIGNING_TOOL + " verify does not accept the signature: " + check.complaint);
}

}   // namespace

int RunList(const CommandLine& line) {
    CodePage codePage;
    int opened = OpenRequestedCodePage(line, &codePage);
    if (opened != EXIT_OK) return opened;
    Installer installer;
    std::string problem = OpenInstaller(line.operands[0], &installer);
    if (!installer.stream.empty()) PrintListing(installer, codePage);
    if (!problem.empty()) return Fail(problem);
    return EXIT_OK;
}

int RunVerify(const CommandLine& line) {
    CodePage codePage;
    int opened = OpenRequestedCodePage(line, &codePage);
    if (opened != EXIT_OK) return opened;
    const std::string& path = line.operands[0];
    Installer installer;
    std::string problem = OpenInstaller(path, &installer);
    if (!problem.empty()) return Fail(problem);
    std::vector<uint8_t> stub(installer.file.begin(), installer.file.begin() + ARCHIVE_OFFSET);
    if (!(problem = StubProblem(stub)).empty()) return Fail(path + ": invalid installer: the stub " + problem);
    for (const std::string& oddity : Oddities(installer)) Warn(path + ": " + oddity);
    const CertificateTable& signature = installer.info.signature;
    std::string signedText = signature.size ? "signed: " + SignatureText(signature) : "unsigned";
    if (!line.quiet)
        printf("%s: valid installer: %zu entries, target %s, %s block of %d bytes, entry stream %d bytes, %s\n",
               path.c_str(), installer.parsed.entries.size(), Printable(codePage, installer.parsed.target).c_str(),
               installer.info.compressed ? "compressed" : "stored", installer.info.storedSize,
               installer.info.unpackedSize, signedText.c_str());
    if (signature.size) ReportSignatureCheck(path, CheckSignature(path, line.trustedCertificates), line.quiet);
    return EXIT_OK;
}

int RunExtract(const CommandLine& line) {
    CodePage codePage;
    int opened = OpenRequestedCodePage(line, &codePage);
    if (opened != EXIT_OK) return opened;
    Installer installer;
    std::string problem = OpenInstaller(line.operands[0], &installer);
    if (!problem.empty()) return Fail(problem);
    ExtractReport report;
    const std::string& directory = line.operands[1];
    problem = ExtractToDirectory(installer.stream, installer.parsed, codePage, directory, &report);
    for (const std::string& skipped : report.skipped) Warn("skipped " + skipped);
    if (!problem.empty()) return Fail(problem);
    if (!line.quiet)
        printf("%s: %zu files, %zu directories extracted to %s\n", line.operands[0].c_str(), report.files,
               report.directories, directory.c_str());
    return EXIT_OK;
}
