#include "pack/installer_checks.h"

#include <set>

#include "format/installer_format.h"
#include "pack/installer/load_memory.h"
#include "pack/installer_warnings.h"
#include "pack/names/entry_rules.h"
#include "pack/names/target_directory.h"
#include "pack/pe/certificate_table.h"

namespace {

std::string Quoted(const CodePage& codePage, const std::string& ansi) {
    return "'" + PrintableText(codePage, ansi) + "'";
}

Problem StubCheck(const Installer& installer) {
    std::vector<uint8_t> stub(installer.file.begin(), installer.file.begin() + ARCHIVE_OFFSET);
    return Prefixed("the stub ", StubProblem(stub));
}

Problem TargetCheck(const Installer& installer, const CodePage& codePage) {
    const std::string& ansi = installer.parsed.target;
    if (ansi.empty()) return "the target directory is empty";
    std::optional<std::string> utf8 = FromCodePage(codePage, ansi);
    if (!utf8)
        return "the target directory " + Quoted(codePage, ansi) + " does not convert from code page " + codePage.name;
    const std::string& target = *utf8;
    std::string named = "the target directory '" + target + "'";
    if (NormalizedTarget(target) != target)
        return named + " is not one the installer extracts into as meant; create writes '" + NormalizedTarget(target) +
               "'";
    Problem problem = TargetDirectoryProblem(target);
    if (!problem) problem = TargetLengthProblem(ansi.size(), installer.controlEntry >= 0);
    if (!problem && installer.control.mode == CONTROL_TEMP_RUN) problem = TemporaryRunTargetProblem(target);
    return Prefixed(named + ": ", problem);
}

Problem NamesCheck(const Installer& installer, const CodePage& codePage) {
    EntryRules rules;
    rules.codePage = &codePage;
    rules.target = installer.parsed.target;
    rules.controlFile = installer.controlEntry >= 0;
    const std::vector<StreamEntry>& entries = installer.parsed.entries;
    for (size_t index = 0; index < entries.size(); ++index) {
        const StreamEntry& entry = entries[index];
        if (entry.name == CONTROL_FILE_NAME && (int)index != installer.controlEntry)
            return std::string("a top-level ") + CONTROL_FILE_NAME +
                   " that the installer does not read as its control file (a later one, a directory, or 1 byte "
                   "or less)";
        if (Problem problem = EntryRuleProblem(&rules, entry.name, entry.sizeCode == SIZE_CODE_DIRECTORY))
            return Quoted(codePage, entry.name) + ": " + problem.text;
    }
    return {};
}

Problem ControlFileCheck(const Installer& installer, const CodePage& codePage) {
    if (installer.controlEntry < 0) return {};
    ControlValues values = installer.control;
    int number = 1;
    for (const ControlLineSpec& line : CONTROL_FILE_LINES) {
        std::optional<std::string> utf8 = FromCodePage(codePage, installer.control.*line.value);
        if (!utf8)
            return "line " + std::to_string(number) + " of the control file does not convert from code page " +
                   codePage.name;
        values.*line.value = *utf8;
        ++number;
    }
    Problem problem = ControlValuesProblem(values);
    // Where the target does not convert, the target's check has failed already.
    std::optional<std::string> target = FromCodePage(codePage, installer.parsed.target);
    if (!problem && target) problem = CommandPlaceProblem(values, *target);
    return Prefixed("the control file's ", problem);
}

// Sound installers that still would not install, or not be trusted, as meant.
Problem LayoutCheck(const Installer& installer, const CodePage& codePage) {
    std::vector<std::string> found;
    std::set<std::string> directories;
    for (const StreamEntry& entry : installer.parsed.entries) {
        size_t separator = entry.name.find_last_of("\\/", entry.name.size() >= 2 ? entry.name.size() - 2 : 0);
        std::string parent = separator == std::string::npos ? "" : entry.name.substr(0, separator + 1);
        if (!parent.empty() && !directories.count(parent))
            found.push_back(Quoted(codePage, entry.name) + " comes before the entry of its directory " +
                            PrintableText(codePage, parent));
        if (entry.sizeCode == SIZE_CODE_DIRECTORY) directories.insert(entry.name);
    }
    if (installer.parsed.bytesAfterEnd)
        found.push_back(std::to_string(installer.parsed.bytesAfterEnd) + " bytes after the end code are never read");
    CertificateTable named = NamedCertificateTable(installer.file);
    if (installer.info.signature.size == 0 && named.size != 0)
        found.push_back("the PE header names a certificate table (certificate table of " + std::to_string(named.size) +
                        " bytes at offset " + std::to_string(named.offset) + ") that is not there");
    std::string joined;
    for (const std::string& item : found) joined += (joined.empty() ? "" : "; ") + item;
    return joined;
}

// What the installer would do with a full memory, told from the sizes alone.
CheckResult MemoryCheck(const Installer& installer, std::string* reason) {
    LoadNeed need =
        InstallerLoadNeed((uint64_t)installer.info.header.unpackedSize, (uint64_t)installer.info.header.storedSize);
    if (need.reach == LOADS_ANYWHERE) return CHECK_PASS;
    *reason = LoadNeedText(need);
    return need.reach == LOADS_NOWHERE ? CHECK_FAIL : CHECK_WARN;
}

// A check fails, or for the layout only warns, when it finds a problem.
CheckResult Failing(const Problem& problem, std::string* reason, CheckResult onProblem = CHECK_FAIL) {
    *reason = problem.text;
    return problem ? onProblem : CHECK_PASS;
}

struct CheckInput {
    const Installer& installer;
    const CodePage& codePage;
    const std::string& fileName;
};

void WarningsCheck(const CheckInput& in, Check* check) {
    check->warnings = InstallerWarnings(in.installer, in.fileName, in.codePage);
    for (const std::string& warning : check->warnings) check->reason += (check->reason.empty() ? "" : "; ") + warning;
    check->result = check->warnings.empty() ? CHECK_PASS : CHECK_WARN;
}

struct CheckSpec {
    const char* name;
    void (*run)(const CheckInput& in, Check* check);
    bool decidesExtraction;   // what extract writes depends on it
};

const CheckSpec CHECKS[] = {
    {"archive", [](const CheckInput& in, Check* c) { c->result = Failing(in.installer.archiveProblem, &c->reason); },
     true},
    {"entry_stream",
     [](const CheckInput& in, Check* c) { c->result = Failing(in.installer.streamProblem, &c->reason); }, true},
    {"stub", [](const CheckInput& in, Check* c) { c->result = Failing(StubCheck(in.installer), &c->reason); }, false},
    {"target",
     [](const CheckInput& in, Check* c) { c->result = Failing(TargetCheck(in.installer, in.codePage), &c->reason); },
     false},
    {"names",
     [](const CheckInput& in, Check* c) { c->result = Failing(NamesCheck(in.installer, in.codePage), &c->reason); },
     true},
    {"control_file",
     [](const CheckInput& in, Check* c) {
         c->result = Failing(ControlFileCheck(in.installer, in.codePage), &c->reason);
     },
     false},
    {"layout",
     [](const CheckInput& in, Check* c) {
         c->result = Failing(LayoutCheck(in.installer, in.codePage), &c->reason, CHECK_WARN);
     },
     false},
    {"memory", [](const CheckInput& in, Check* c) { c->result = MemoryCheck(in.installer, &c->reason); }, false},
    {"warnings", WarningsCheck, false},
};

// The checks in order, up to the first failure; only those that decide
// extraction when asked.
std::vector<Check> RunChecks(const CheckInput& in, bool extractionOnly) {
    std::vector<Check> checks;
    for (const CheckSpec& spec : CHECKS) {
        if (extractionOnly && !spec.decidesExtraction) continue;
        Check check;
        check.name = spec.name;
        spec.run(in, &check);
        checks.push_back(check);
        if (check.result == CHECK_FAIL) break;
    }
    return checks;
}

}   // namespace

std::vector<Check> CheckInstaller(const Installer& installer, const std::string& fileName, const CodePage& codePage) {
    return RunChecks(CheckInput{installer, codePage, fileName}, false);
}

Problem ExtractionProblem(const Installer& installer, const CodePage& codePage) {
    std::vector<Check> checks = RunChecks(CheckInput{installer, codePage, ""}, true);
    return checks.back().result == CHECK_FAIL ? checks.back().reason : Problem();
}

const char* CheckResultName(CheckResult result) {
    return result == CHECK_PASS ? "pass" : result == CHECK_WARN ? "warn" : "fail";
}
