#include "pack/signing.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "format/installer_format.h"
#include "pack/installer/installer_file.h"
#include "platform/platform.h"

const char* const SIGNING_TOOL = "osslsigncode";

static const char* const TIME_VARIABLE = "SOURCE_DATE_EPOCH";

static Problem ToolMissing() {
    return std::string(SIGNING_TOOL) +
           " is not installed (not found in PATH); signing needs it: " + HowToInstallProgram(SIGNING_TOOL);
}

static Problem UnreadableProblem(const char* option, const std::string& path, std::vector<uint8_t>* bytes = nullptr) {
    std::vector<uint8_t> ignored;
    return Prefixed(std::string(option) + " ", ReadWholeFile(path, bytes ? bytes : &ignored));
}

// The fixed signing time that SOURCE_DATE_EPOCH asks for (empty when unset);
// empty on success, else why it is not one.
static Problem SigningTime(std::string* time) {
    time->clear();
    const char* value = getenv(TIME_VARIABLE);
    if (!value || !value[0]) return {};
    bool digits = strlen(value) <= 18 && strspn(value, "0123456789") == strlen(value);
    if (!digits) return std::string(TIME_VARIABLE) + " '" + value + "' is not a number of seconds";
    *time = value;
    return {};
}

// A PEM key that needs a password says so in its header: "ENCRYPTED PRIVATE
// KEY", or "Proc-Type: 4,ENCRYPTED" in the older form.
static Problem KeyProblem(const SigningOptions& options) {
    std::vector<uint8_t> key;
    if (Problem problem = UnreadableProblem("--sign-key", options.key, &key)) return problem;
    bool encrypted = std::string(key.begin(), key.end()).find("ENCRYPTED") != std::string::npos;
    if (encrypted && options.passwordFile.empty())
        return "--sign-key " + options.key +
               ": the key is encrypted; give the file that holds its password with --sign-pass-file FILE";
    return {};
}

Problem SigningInputsProblem(const SigningOptions& options) {
    if (FindProgram(SIGNING_TOOL).empty()) return ToolMissing();
    if (Problem problem = UnreadableProblem("--sign-cert", options.certificate)) return problem;
    if (Problem problem = KeyProblem(options)) return problem;
    if (!options.passwordFile.empty())
        if (Problem problem = UnreadableProblem("--sign-pass-file", options.passwordFile)) return problem;
    std::string time;
    return SigningTime(&time);
}

// OpenSSL's error queue: "<thread id in hex>:error:<code>:...".
static bool IsErrorQueueLine(const std::string& line) {
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0 || line.compare(colon, 7, ":error:") != 0) return false;
    return line.find_first_not_of("0123456789ABCDEFabcdef") == colon;
}

// The output's lines, trimmed, without blank lines, OpenSSL's internal error
// queue, password prompts, the bare verdict ("Failed", "Succeeded") and its
// note of the timestamp server it connects to.
static std::vector<std::string> ToolMessages(const std::string& output) {
    std::vector<std::string> messages;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        size_t first = line.find_first_not_of(" \t\r"), last = line.find_last_not_of(" \t\r");
        if (first == std::string::npos) continue;
        line = line.substr(first, last - first + 1);
        bool noise = IsErrorQueueLine(line) || line == "Failed" || line == "Succeeded" ||
                     line.find("pass phrase:") != std::string::npos || line.compare(0, 14, "Connecting to ") == 0;
        if (!noise) messages.push_back(line);
    }
    return messages;
}

static std::string Joined(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) joined += (joined.empty() ? "" : "; ") + line;
    return joined;
}

// The lines of the output that say what failed: its errors, mismatches and failures.
static std::vector<std::string> Faults(const std::string& output) {
    std::vector<std::string> faults;
    for (const std::string& line : ToolMessages(output)) {
        std::string lower;
        for (char c : line) lower += (char)tolower((unsigned char)c);
        for (const char* word : {"error", "mismatch", "fail", "invalid"})
            if (lower.find(word) != std::string::npos) {
                faults.push_back(line);
                break;
            }
    }
    return faults;
}

// timestampUrl: an RFC 3161 server; empty: no timestamp.
static std::vector<std::string> SignArguments(const SigningOptions& options, const std::string& time,
                                              const std::string& timestampUrl, const std::string& in,
                                              const std::string& out) {
    std::vector<std::string> arguments = {"sign", "-certs", options.certificate, "-key", options.key};
    if (!options.passwordFile.empty()) arguments.insert(arguments.end(), {"-readpass", options.passwordFile});
    if (!timestampUrl.empty()) arguments.insert(arguments.end(), {"-ts", timestampUrl});
    if (!time.empty()) arguments.insert(arguments.end(), {"-time", time});
    arguments.insert(arguments.end(), {"-in", in, "-out", out});
    return arguments;
}

// The signed file must be what the installer accepts: the same archive (its
// header, whose sizes and CRC-32 the installer checks the block against), then
// exactly the table its header names.
static Problem SignedFileProblem(const std::string& path, const std::vector<uint8_t>& archiveHeader,
                                 CertificateTable* table) {
    std::vector<uint8_t> file, loaded;
    if (Problem problem = ReadWholeFile(path, &file)) return problem;
    ArchiveInfo info;
    if (Problem problem = UnpackInstallerArchive(file, &info, &loaded))
        return "the installer would refuse it: " + problem.text;
    if (!std::equal(archiveHeader.begin(), archiveHeader.end(), file.begin() + ARCHIVE_OFFSET))
        return "its entry stream is not the one packed";
    if (info.signature.size == 0) return "it holds no certificate table";
    *table = info.signature;
    return Prefixed("cannot write it: ", FlushToDisk(path));
}

// One run of the tool: none, or why it failed, "(exit code 1): ...". With a
// timestamp server, only the lines that say what failed: the tool's advice
// to use the legacy protocol instead is no option of sfxpack's.
static Problem SignOnce(const std::string& tool, const SigningOptions& options, const std::string& time,
                        const std::string& timestampUrl, const std::string& in, const std::string& out) {
    ToolRun run = RunTool(tool, SignArguments(options, time, timestampUrl, in, out));
    if (!run.started) return "(cannot start " + tool + ")";
    if (run.exitCode == 0) return {};
    std::vector<std::string> lines = timestampUrl.empty() ? ToolMessages(run.output) : Faults(run.output);
    if (lines.empty()) lines = ToolMessages(run.output);
    return "(exit code " + std::to_string(run.exitCode) + ")" + (lines.empty() ? "" : ": " + Joined(lines));
}

// Signs, with a timestamp from the first server that gives one: a failed run
// is tried once more with the same server, then with the next one.
static Problem Sign(const std::string& tool, const SigningOptions& options, const std::string& time,
                    const std::string& in, const std::string& out) {
    std::string failed = std::string("signing with ") + SIGNING_TOOL + " failed";
    if (options.timestampUrls.empty()) return Prefixed(failed + " ", SignOnce(tool, options, time, "", in, out));
    std::string failures;
    for (const std::string& server : options.timestampUrls) {
        Problem problem;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!(problem = SignOnce(tool, options, time, server, in, out))) return {};
            RemoveFileIfPresent(out);
        }
        failures += (failures.empty() ? "" : "; ") + ("with the timestamp server " + server + " " + problem.text);
    }
    return failed + " with every timestamp server, each tried twice: " + failures;
}

Problem SignPendingInstaller(const SigningOptions& options, const PendingFile& unsignedFile,
                             const std::vector<uint8_t>& archiveHeader, CertificateTable* table) {
    std::string tool = FindProgram(SIGNING_TOOL), time;
    if (tool.empty()) return ToolMissing();
    if (Problem problem = SigningTime(&time)) return problem;
    PendingFile signedFile;
    if (Problem problem = BeginPendingName(unsignedFile.path, &signedFile)) return problem;
    Problem problem = Sign(tool, options, time, unsignedFile.temporaryPath, signedFile.temporaryPath);
    if (!problem && (problem = SignedFileProblem(signedFile.temporaryPath, archiveHeader, table)))
        problem = std::string("the file ") + SIGNING_TOOL + " signed is unusable: " + problem.text;
    if (problem) {
        AbandonPendingFile(&signedFile);
        return unsignedFile.path + ": " + problem.text;
    }
    return CommitPendingFile(&signedFile);
}

// What a failed verification says about why: its errors, mismatches and failures.
static std::string VerifyComplaint(const std::string& output, int exitCode) {
    std::vector<std::string> faults = Faults(output);
    return faults.empty() ? "exit code " + std::to_string(exitCode) : Joined(faults);
}

SignatureCheck CheckSignature(const std::string& path, const std::string& trustedCertificates) {
    SignatureCheck check;
    std::string tool = FindProgram(SIGNING_TOOL);
    if (tool.empty()) return check;
    check.toolFound = true;
    std::vector<std::string> arguments = {"verify"};
    if (!trustedCertificates.empty()) arguments.insert(arguments.end(), {"-CAfile", trustedCertificates});
    arguments.insert(arguments.end(), {"-in", path});
    ToolRun run = RunTool(tool, arguments);
    check.accepted = run.started && run.exitCode == 0;
    if (!check.accepted)
        check.complaint = run.started ? VerifyComplaint(run.output, run.exitCode) : "cannot start " + tool;
    // OpenSSL's words for a chain that ends in no trusted certificate.
    for (const char* untrusted : {"self-signed certificate", "self signed certificate", "unable to get local issuer"})
        if (!check.accepted && run.output.find(untrusted) != std::string::npos) check.signerUnknown = true;
    return check;
}
