#include "pack/cli/options.h"

#include "codec/levels.h"
#include "pack/names/code_page.h"
#include "pack/names/target_directory.h"

namespace {

// The levels' names joined: "store, fast or best", "store|fast|best".
std::string LevelNames(const char* separator, const char* lastSeparator) {
    std::vector<std::string> names;
    for (const CompressionLevel& level : CompressionLevels()) names.push_back(level.name);
    return JoinedNames(names, separator, lastSeparator);
}

// The help of --level: the default, then a line for each level.
std::string LevelHelp() {
    std::string help = std::string("compression (default ") + DefaultCompressionLevel().name + "):";
    for (const CompressionLevel& level : CompressionLevels()) {
        std::string name = level.name;
        help += "\n  " + name + std::string(name.size() < 7 ? 7 - name.size() : 1, ' ') + level.description;
    }
    return help;
}

// A bound on what a typing slip can ask for: best uses two threads, fast at
// most one per 2 MiB section.
constexpr uint32_t MAX_THREADS = 64;

Problem ApplyThreads(const std::string& value, CommandLine* line) {
    uint32_t threads = 0;
    bool number = !value.empty() && value.size() <= 9;   // no overflow
    for (char digit : value) {
        number = number && digit >= '0' && digit <= '9';
        threads = threads * 10 + uint32_t(digit - '0');
    }
    if (!number || threads > MAX_THREADS)
        return "--threads takes a number from 0 to " + std::to_string(MAX_THREADS) + ", not '" + value + "'";
    line->create.threads = threads;
    return {};
}

// A day: a bound that any installer's run stays within.
constexpr int64_t MAX_TIMEOUT_SECONDS = 86400;

Problem ApplyTimeout(const std::string& value, CommandLine* line) {
    int64_t seconds = 0;
    bool number = !value.empty() && value.size() <= 9;
    for (char digit : value) {
        number = number && digit >= '0' && digit <= '9';
        seconds = seconds * 10 + (digit - '0');
    }
    if (!number || seconds < 1 || seconds > MAX_TIMEOUT_SECONDS)
        return "--timeout takes a number of seconds from 1 to " + std::to_string(MAX_TIMEOUT_SECONDS) + ", not '" +
               value + "'";
    line->timeoutSeconds = seconds;
    return {};
}

Problem Store(std::string* field, const std::string& value) {
    *field = value;
    return {};
}

Problem Set(bool* flag) {
    *flag = true;
    return {};
}

Problem Choose(Command* command, Command chosen) {
    *command = chosen;
    return {};
}

Problem ApplyLevel(const std::string& value, CommandLine* line) {
    line->create.level = FindCompressionLevel(value);
    if (!line->create.level) return "--level takes " + LevelNames(", ", " or ") + ", not '" + value + "'";
    return {};
}

}   // namespace

const std::vector<CommandSpec>& Commands() {
    static const std::vector<CommandSpec> commands = {
        {"create", COMMAND_CREATE, 1, "DIR", "DIR -o OUT.exe [options]", "pack DIR into a self-extracting installer",
         FOR_CREATE},
        {"list", COMMAND_LIST, 1, "OUT.exe", "OUT.exe", "show the installer's target, entries and control file",
         FOR_LIST},
        {"verify", COMMAND_VERIFY, 1, "OUT.exe", "OUT.exe", "check the installer as the installer itself does",
         FOR_VERIFY},
        {"extract", COMMAND_EXTRACT, 2, "OUT.exe DIR", "OUT.exe DIR", "unpack into a new or empty DIR, for inspection",
         FOR_EXTRACT},
        {"try", COMMAND_TRY, 1, "INSTALLER.exe", "INSTALLER.exe",
         "run the installer under Wine and compare with its archive", FOR_TRY},
    };
    return commands;
}

namespace {

// What create packs and how: the options before the control options.
std::vector<OptionSpec> PackingOptions() {
    typedef CommandLine L;
    return {
        {"--output", "-o", "OUT.exe", FOR_CREATE,
         [](const std::string& v, L* l) { return Store(&l->create.output, v); },
         "the installer to write (written whole or not at all)"},
        {"--target", "", "DIR", FOR_CREATE,
         [](const std::string& v, L* l) {
             l->create.targetGiven = true;
             return Store(&l->create.target, v);
         },
         std::string("where the installer extracts to (default ") + DEFAULT_TARGET + ", and .\\NAME.tmp\\\n" +
             "with --temp-run); a trailing backslash is added when\n" + "missing, and .\\ before a relative DIR"},
        {"--level", "", LevelNames("|", "|"), FOR_CREATE, ApplyLevel, LevelHelp()},
        {"--threads", "", "N", FOR_CREATE, ApplyThreads,
         "threads to compress with (default and 0: one per processor);\n"
         "the installer is the same for every N"},
        {"--stub", "", "PATH", FOR_CREATE, [](const std::string& v, L* l) { return Store(&l->create.stub, v); },
         "the installer stub (default: ../" SFX_STUB_INSTALL_DIR "/sfxstub.exe from\n"
         "sfxpack's folder, else sfxstub.exe beside sfxpack)"},
        {"--follow-links", "", "", FOR_CREATE, [](const std::string&, L* l) { return Set(&l->create.followLinks); },
         "pack what symbolic links point to (default: refuse them)"},
    };
}

// A row for each value of each control mode, in the modes' order; the help
// text describes them with their mode.
std::vector<OptionSpec> ControlOptions() {
    std::vector<OptionSpec> rows;
    for (const ControlModeSpec& mode : ControlModes())
        for (const ControlValueSpec& value : mode.values) {
            std::string ControlValues::*field = value.value;
            auto apply = [field](const std::string& v, CommandLine* l) {
                return Store(&(l->create.control.*field), v);
            };
            rows.push_back({value.option, "", value.valueName, FOR_CREATE, apply, ""});
        }
    return rows;
}

// Signing, the other commands' options and those of every command.
std::vector<OptionSpec> SigningAndCommonOptions() {
    typedef CommandLine L;
    return {
        {"--sign-cert", "", "FILE", FOR_CREATE,
         [](const std::string& v, L* l) { return Store(&l->create.signing.certificate, v); },
         "sign the installer with osslsigncode: its certificates"},
        {"--sign-key", "", "FILE", FOR_CREATE,
         [](const std::string& v, L* l) { return Store(&l->create.signing.key, v); },
         "its private key (--sign-cert and --sign-key go together)"},
        {"--sign-pass-file", "", "FILE", FOR_CREATE,
         [](const std::string& v, L* l) { return Store(&l->create.signing.passwordFile, v); },
         "the file holding the key's password (with --sign-key)"},
        {"--timestamp", "", "URL", FOR_CREATE,
         [](const std::string& v, L* l) {
             l->create.signing.timestampUrls.push_back(v);
             return Problem();
         },
         "an RFC 3161 timestamp server (with --sign-cert); give more\n"
         "than one to try them in order, each twice"},
        {"--sign-ca", "", "FILE", FOR_VERIFY,
         [](const std::string& v, L* l) { return Store(&l->trustedCertificates, v); },
         "trust these certificates when checking the signature\n"
         "(default: the system's certificate authorities)"},
        {"--strict", "", "", FOR_VERIFY, [](const std::string&, L* l) { return Set(&l->strict); },
         "fail (exit code 1) when there is a warning (for CI)"},
        {"--json", "", "", FOR_LIST | FOR_VERIFY | FOR_TRY, [](const std::string&, L* l) { return Set(&l->json); },
         "print one JSON document on standard output (see man sfxpack)"},
        {"--keep", "", "DIR", FOR_TRY, [](const std::string& v, L* l) { return Store(&l->keepFolder, v); },
         "keep the Wine prefix and Wine's log in DIR (new or empty)"},
        {"--timeout", "", "SECONDS", FOR_TRY, ApplyTimeout,
         "stop the installer after this long (default 120); a run\nthat is stopped fails"},
        {"--codepage", "", "NAME", FOR_EVERY_COMMAND, [](const std::string& v, L* l) { return Store(&l->codePage, v); },
         std::string("the Windows ANSI code page of names (default ") + DEFAULT_CODE_PAGE + ")"},
        {"--quiet", "-q", "", FOR_EVERY_COMMAND, [](const std::string&, L* l) { return Set(&l->quiet); },
         "no progress and no summary (warnings still show)"},
        {"--help", "-h", "", 0, [](const std::string&, L* l) { return Choose(&l->command, COMMAND_HELP); },
         "show this help"},
        {"--version", "-V", "", 0, [](const std::string&, L* l) { return Choose(&l->command, COMMAND_VERSION); },
         "show the version"},
    };
}

}   // namespace

const std::vector<OptionSpec>& Options() {
    static const std::vector<OptionSpec> options = [] {
        std::vector<OptionSpec> all;
        for (const std::vector<OptionSpec>& part : {PackingOptions(), ControlOptions(), SigningAndCommonOptions()})
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }();
    return options;
}

std::string JoinedNames(const std::vector<std::string>& names, const char* separator, const char* lastSeparator) {
    std::string joined;
    for (size_t index = 0; index < names.size(); ++index) {
        if (index > 0) joined += index + 1 == names.size() ? lastSeparator : separator;
        joined += names[index];
    }
    return joined;
}

const OptionSpec* FindOption(const std::string& spelling) {
    for (const OptionSpec& option : Options())
        if (spelling == option.name || (!option.shortName.empty() && spelling == option.shortName)) return &option;
    return nullptr;
}
