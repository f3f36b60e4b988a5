// sfxpack list, verify and extract: each reads the installer as the installer
// itself would, and says why when it would refuse it.
#include <cstdio>

#include "format/installer_format.h"
#include "pack/cli/commands.h"
#include "pack/cli/json_writer.h"
#include "pack/host/host_extract.h"
#include "pack/installer_checks.h"
#include "pack/names/target_directory.h"
#include "pack/signing.h"

namespace {

enum { JSON_SCHEMA_VERSION = 1 };

std::string SignatureText(const CertificateTable& table) {
    if (table.size == 0) return "none";
    return "certificate table of " + std::to_string(table.size) + " bytes at offset " + std::to_string(table.offset);
}

void PrintListing(const Installer& installer, const CodePage& codePage) {
    PrintLine("target: " + PrintableText(codePage, installer.parsed.target));
    for (const StreamEntry& entry : installer.parsed.entries) {
        std::string size = entry.sizeCode == SIZE_CODE_DIRECTORY ? "<dir>" : std::to_string(entry.sizeCode);
        PrintLine(std::string(size.size() < 12 ? 12 - size.size() : 0, ' ') + size + "  " +
                  PrintableText(codePage, entry.name));
    }
    if (const ControlModeSpec* mode = FindControlMode(installer.control.mode)) {
        ControlValues shown = installer.control;
        for (const ControlLineSpec& line : CONTROL_FILE_LINES)
            shown.*line.value = PrintableText(codePage, installer.control.*line.value);
        PrintLine("control file: " + mode->describe(shown));
    }
    PrintLine("signature: " + SignatureText(installer.info.signature));
}

// A text of the installer in UTF-8; one that does not convert from the code
// page has each byte from 0x80 up as U+FFFD, and its bytes in hexadecimal
// under the key with "_hex" after it.
void WriteJsonText(JsonWriter* writer, const char* key, const CodePage& codePage, const std::string& ansi) {
    if (std::optional<std::string> utf8 = FromCodePage(codePage, ansi)) return WriteJsonString(writer, key, *utf8);
    std::string replaced, hex;
    for (unsigned char c : ansi) {
        replaced += c < 0x80 ? std::string(1, (char)c) : "\xEF\xBF\xBD";
        char digits[4];
        snprintf(digits, sizeof(digits), "%02x", c);
        hex += digits;
    }
    WriteJsonString(writer, key, replaced);
    WriteJsonString(writer, (std::string(key) + "_hex").c_str(), hex);
}

// What list --json and verify --json both describe: the archive, the target,
// the entries, the control file and the signature; null where the installer
// did not get that far.
void WriteJsonInstaller(JsonWriter* writer, const std::string& path, const Installer& installer,
                        const CodePage& codePage) {
    WriteJsonNumber(writer, "schema_version", JSON_SCHEMA_VERSION);
    WriteJsonString(writer, "installer", path);
    bool loaded = !installer.archiveProblem;
    if (loaded) {
        BeginJsonObject(writer, "archive");
        WriteJsonBool(writer, "compressed", IsCompressed(installer.info.header));
        WriteJsonNumber(writer, "unpacked_size", installer.info.header.unpackedSize);
        WriteJsonNumber(writer, "stored_size", installer.info.header.storedSize);
        EndJsonObject(writer);
        WriteJsonText(writer, "target", codePage, installer.parsed.target);
    } else {
        WriteJsonNull(writer, "archive");
        WriteJsonNull(writer, "target");
    }
    BeginJsonArray(writer, "entries");
    for (const StreamEntry& entry : installer.parsed.entries) {
        bool directory = entry.sizeCode == SIZE_CODE_DIRECTORY;
        BeginJsonObject(writer);
        WriteJsonString(writer, "kind", directory ? "directory" : "file");
        WriteJsonNumber(writer, "size", directory ? 0 : entry.sizeCode);
        WriteJsonText(writer, "name", codePage, entry.name);
        EndJsonObject(writer);
    }
    EndJsonArray(writer);
    if (const ControlModeSpec* mode = FindControlMode(installer.control.mode)) {
        BeginJsonObject(writer, "control_file");
        WriteJsonString(writer, "mode", mode->name);
        for (const ControlLineSpec& line : CONTROL_FILE_LINES)
            WriteJsonText(writer, line.key, codePage, installer.control.*line.value);
        EndJsonObject(writer);
    } else {
        WriteJsonNull(writer, "control_file");
    }
    if (installer.info.signature.size) {
        BeginJsonObject(writer, "signature");
        WriteJsonNumber(writer, "offset", installer.info.signature.offset);
        WriteJsonNumber(writer, "size", installer.info.signature.size);
        EndJsonObject(writer);
    } else {
        WriteJsonNull(writer, "signature");
    }
}

// The installer does not look at its signature; Windows does, so say what the
// signing tool thinks of it.
// The note is for the summary: "accepted by osslsigncode verify".
Check SignatureCheckOf(const std::string& path, const Installer& installer, const std::string& trusted,
                       std::string* note) {
    Check check;
    check.name = "signature";
    const CertificateTable& signature = installer.info.signature;
    if (signature.size == 0) {
        check.reason = "unsigned";
        return check;
    }
    SignatureCheck verdict = CheckSignature(path, trusted);
    if (!verdict.toolFound) *note = std::string("not checked: ") + SIGNING_TOOL + " is not installed";
    else if (verdict.accepted) *note = std::string("accepted by ") + SIGNING_TOOL + " verify";
    check.reason = "signed: " + SignatureText(signature) + "; " + *note;
    if (verdict.toolFound && !verdict.accepted) {
        check.result = CHECK_WARN;
        check.reason = std::string(SIGNING_TOOL) + " verify does not accept the signature: " + verdict.complaint;
        if (verdict.signerUnknown)
            check.reason += "; it does not know the signer: if you trust it, give its certificate, or its "
                            "authority's, with --sign-ca FILE";
    }
    return check;
}

// Every warning, as the text prints them and JSON lists them.
std::vector<std::string> WarningsOf(const std::vector<Check>& checks) {
    std::vector<std::string> warnings;
    for (const Check& check : checks) {
        if (check.result != CHECK_WARN) continue;
        if (check.warnings.empty()) warnings.push_back(check.reason);
        else warnings.insert(warnings.end(), check.warnings.begin(), check.warnings.end());
    }
    return warnings;
}

// "5 files, 1 directory", as create's summary counts them: the control file
// is not one of the tree's files.
std::string EntryCounts(const Installer& installer) {
    size_t files = 0, directories = 0;
    for (size_t index = 0; index < installer.parsed.entries.size(); ++index) {
        if (installer.parsed.entries[index].sizeCode == SIZE_CODE_DIRECTORY) ++directories;
        else if ((int)index != installer.controlEntry) ++files;
    }
    return Counted(files, "file", "files") + ", " + Counted(directories, "directory", "directories") +
           (installer.controlEntry >= 0 ? " and a control file" : "");
}

void PrintVerdict(const std::string& path, const Installer& installer, const CodePage& codePage,
                  const std::string& signatureNote) {
    const CertificateTable& signature = installer.info.signature;
    PrintLine(path + ": valid installer: " + EntryCounts(installer) + ", target " +
              PrintableText(codePage, installer.parsed.target) + ", " +
              (IsCompressed(installer.info.header) ? "compressed" : "stored") + " block of " +
              std::to_string(installer.info.header.storedSize) + " bytes, entry stream " +
              std::to_string(installer.info.header.unpackedSize) + " bytes, " +
              (signature.size ? "signed: " + SignatureText(signature) : "unsigned"));
    if (!signatureNote.empty()) PrintLine(path + ": signature " + signatureNote);
}

// The installer's failure for the user: a file that cannot be read says so
// itself; anything else is an invalid installer.
int FailInstaller(const std::string& path, const Installer& installer, const std::string& reason) {
    return Fail(installer.fileRead ? path + ": invalid installer: " + reason : reason);
}

// For the hint that extract gives: the text in single quotes for a shell.
std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}   // namespace

int RunList(const CommandLine& line, const CodePage& codePage) {
    const std::string& path = line.operands[0];
    Installer installer;
    Problem problem = ReadInstallerFile(path, &installer);
    if (line.json) {
        JsonWriter writer;
        BeginJsonObject(&writer);
        WriteJsonInstaller(&writer, path, installer, codePage);
        if (problem) WriteJsonString(&writer, "problem", problem.text);
        else WriteJsonNull(&writer, "problem");
        EndJsonObject(&writer);
        fputs(writer.text.c_str(), stdout);
    } else if (!installer.archiveProblem) {
        PrintListing(installer, codePage);
    }
    if (problem) return FailInstaller(path, installer, problem.text);
    return EXIT_OK;
}

int RunVerify(const CommandLine& line, const CodePage& codePage) {
    const std::string& path = line.operands[0];
    Installer installer;
    (void)ReadInstallerFile(path, &installer);   // the record keeps what it found, for the checks
    std::string fileName = path.substr(path.find_last_of("/\\") + 1);
    std::vector<Check> checks = CheckInstaller(installer, fileName, codePage);
    bool failed = checks.back().result == CHECK_FAIL;
    std::string signatureNote;
    if (!failed) checks.push_back(SignatureCheckOf(path, installer, line.trustedCertificates, &signatureNote));
    std::vector<std::string> warnings = WarningsOf(checks);
    bool strictFailure = !failed && line.strict && !warnings.empty();
    if (line.json) {
        JsonWriter writer;
        BeginJsonObject(&writer);
        WriteJsonInstaller(&writer, path, installer, codePage);
        CheckResult result = failed || strictFailure ? CHECK_FAIL : warnings.empty() ? CHECK_PASS : CHECK_WARN;
        WriteJsonString(&writer, "result", CheckResultName(result));
        BeginJsonArray(&writer, "checks");
        for (const Check& check : checks) {
            BeginJsonObject(&writer);
            WriteJsonString(&writer, "name", check.name);
            WriteJsonString(&writer, "result", CheckResultName(check.result));
            WriteJsonString(&writer, "reason", check.reason);
            EndJsonObject(&writer);
        }
        EndJsonArray(&writer);
        BeginJsonArray(&writer, "warnings");
        for (const std::string& warning : warnings) WriteJsonString(&writer, nullptr, warning);
        EndJsonArray(&writer);
        EndJsonObject(&writer);
        fputs(writer.text.c_str(), stdout);
    }
    if (failed) return FailInstaller(path, installer, checks.back().reason);
    for (const std::string& warning : warnings) Warn(path + ": " + warning);
    if (strictFailure)
        return Fail(path + ": " + Counted(warnings.size(), "warning", "warnings") + ", which --strict makes a failure");
    if (!line.quiet && !line.json) PrintVerdict(path, installer, codePage, signatureNote);
    return EXIT_OK;
}

int RunExtract(const CommandLine& line, const CodePage& codePage) {
    const std::string& path = line.operands[0];
    Installer installer;
    (void)ReadInstallerFile(path, &installer);   // the record keeps what it found, for the check below
    // Refused before anything is written: what verify refuses in the archive,
    // the entry stream or the names, which the installer would not write as named.
    if (Problem problem = ExtractionProblem(installer, codePage)) return FailInstaller(path, installer, problem.text);
    ExtractReport report;
    const std::string& directory = line.operands[1];
    Problem problem = ExtractToDirectory(installer.stream, installer.parsed, codePage, directory, &report);
    for (const std::string& skipped : report.skipped) Warn("skipped " + skipped);
    if (problem) return Fail(problem.text);
    if (line.quiet) return EXIT_OK;
    PrintLine(path + ": " + Counted(report.files, "file", "files") + ", " +
              Counted(report.directories, "directory", "directories") + " extracted to " + directory);
    // The directory stands in for the target, which the packed tree does not hold.
    std::string target = PrintableText(codePage, installer.parsed.target);
    if (target != DEFAULT_TARGET)
        PrintLine(path + ": the directory stands for the target " + target + "; give create --target " +
                  ShellQuoted(target) + " to keep it");
    return EXIT_OK;
}
