// verify's checks on an installer read back: what the installer itself checks
// when it runs, then the rules create applies to what it packs (target,
// names, control file), then what would still go wrong where it runs.
#pragma once
#include <string>
#include <vector>

#include "pack/installer/installer_reader.h"
#include "pack/names/code_page.h"
#include "problem/problem.h"

enum CheckResult { CHECK_PASS, CHECK_WARN, CHECK_FAIL };

struct Check {
    std::string name;   // "archive", "names", ...
    CheckResult result = CHECK_PASS;
    std::string reason;
    std::vector<std::string> warnings;   // a check that warns of several things: each, joined in reason
};

// The checks in order, up to and including the first that fails. The
// installer's file name decides what Windows does with it, which the
// "warnings" check tells as create does (pack/installer_warnings.h).
std::vector<Check> CheckInstaller(const Installer& installer, const std::string& fileName, const CodePage& codePage);

// Why extract would not write what the installer writes (the archive, the
// entry stream or the names fail), or none; the stub, the target and the
// control file do not change what lands in the directory.
Problem ExtractionProblem(const Installer& installer, const CodePage& codePage);

const char* CheckResultName(CheckResult result);   // "pass", "warn", "fail"
