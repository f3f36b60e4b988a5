#include "pack/trial/wine_prefix.h"

#include <cstring>
#include <random>
#include <vector>

#include "pack/trial/relay_trace.h"
#include "pack/trial/tree_snapshot.h"
#include "pack/trial/wine.h"
#include "platform/platform.h"

namespace {

const uint64_t LINKED_SIZE = 64 * 1024;

Problem MakeFolders(const std::string& path) {
    FileStatus status;
    if (!QueryFileStatus(path, true, &status)) return status.kind == FILE_KIND_DIRECTORY ? "" : path + ": not a folder";
    std::string parent = ParentDirectory(path);
    if (parent != path) {
        Problem problem = MakeFolders(parent);
        if (problem) return problem;
    }
    Problem problem = CreateNewDirectory(path);
    return !problem || !QueryFileStatus(path, true, &status) ? Problem() : Prefixed(path + ": ", problem);
}

// Templates are named by what they are made of: the steps below (their
// version, raised when they change) and Wine's version.
const char* const TEMPLATE_NAME_START = "prefix-v";
const int TEMPLATE_STEPS_VERSION = 1;

// "wine-8.0 (Debian 8.0~repack-4)": prefix-v1-wine-8.0-Debian-8.0-repack-4.
std::string TemplateName(const std::string& wineVersion) {
    std::string name = TEMPLATE_NAME_START + std::to_string(TEMPLATE_STEPS_VERSION) + "-";
    for (char c : wineVersion) {
        bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
        if (kept) name += c;
        else if (name.back() != '-') name += '-';
    }
    while (name.back() == '-') name.pop_back();
    return name;
}

Problem CopyFileBytes(const std::string& from, const std::string& to) {
    OpenFile source, copy;
    Problem problem = OpenFileForReading(from, &source);
    if (problem) return Prefixed(from + ": ", problem);
    problem = CreateFileForWriting(to, &copy);
    if (problem) {
        (void)CloseFile(&source);
        return Prefixed(to + ": ", problem);
    }
    std::vector<uint8_t> buffer(1 << 20);
    size_t got = 0;
    while (!problem && !(problem = ReadFromFile(&source, buffer.data(), buffer.size(), &got)) && got)
        problem = WriteToFile(&copy, buffer.data(), got);
    (void)CloseFile(&source);
    Problem closed = CloseFile(&copy);
    if (!problem) problem = closed;
    return Prefixed(to + ": ", problem);
}

Problem CopyFolder(const std::string& from, const std::string& to, const std::string& relative,
                   std::set<std::string>* linked) {
    Problem problem = CreateNewDirectory(to);
    if (problem) return Prefixed(to + ": ", problem);
    std::vector<std::string> names;
    problem = ListDirectory(from, &names);
    if (problem) return Prefixed(from + ": ", problem);
    for (const std::string& name : names) {
        if (InterruptCaught()) return "interrupted";
        std::string source = JoinPath(from, name), copy = JoinPath(to, name);
        std::string path = relative.empty() ? name : relative + "/" + name;
        FileStatus status;
        problem = QueryFileStatus(source, false, &status);
        if (problem) return Prefixed(source + ": ", problem);
        if (status.kind == FILE_KIND_DIRECTORY) problem = CopyFolder(source, copy, path, linked);
        else if (status.kind != FILE_KIND_REGULAR) continue;   // the drive links, made afresh
        else if (status.size >= LINKED_SIZE && !MakeHardLink(source, copy)) linked->insert(path);
        else problem = CopyFileBytes(source, copy);
        if (problem) return problem;
    }
    return {};
}

// No drive but C: (a new prefix has Z: for the host's root, and serial ports).
void KeepOnlyDriveC(const std::string& prefix) {
    std::string devices = JoinPath(prefix, "dosdevices");
    std::vector<std::string> names;
    (void)ListDirectory(devices, &names);
    for (const std::string& name : names)
        if (name != "c:") RemoveFileIfPresent(JoinPath(devices, name));
}

// Drive C: of the template, in one walk: each link becomes a folder of its
// own (Wine links the user folders, Desktop, Documents, Downloads, ..., to
// the home folder), and the large files, which every copy shares, read-only.
Problem SealDriveC(const std::string& folder) {
    std::vector<std::string> names;
    Problem problem = ListDirectory(folder, &names);
    for (const std::string& name : names) {
        std::string path = JoinPath(folder, name);
        FileStatus status;
        if (problem || QueryFileStatus(path, false, &status)) continue;
        if (status.kind == FILE_KIND_DIRECTORY) {
            problem = SealDriveC(path);
            continue;
        }
        if (status.kind == FILE_KIND_LINK) {
            RemoveFileIfPresent(path);
            problem = CreateNewDirectory(path);
        } else if (status.kind == FILE_KIND_REGULAR && status.size >= LINKED_SIZE) {
            problem = MakeReadOnly(path);
        }
        problem = Prefixed(path + ": ", problem);
    }
    return problem;
}

Problem WriteText(const std::string& path, const std::string& text) {
    OpenFile file;
    Problem problem = CreateFileForWriting(path, &file);
    if (problem) return Prefixed(path + ": ", problem);
    problem = WriteToFile(&file, (const uint8_t*)text.data(), text.size());
    Problem closed = CloseFile(&file);
    return Prefixed(path + ": ", problem ? problem : closed);
}

// Wine's own steps that make the template, each a program of the new prefix.
struct TemplateStep {
    std::vector<std::string> arguments;
    int exitCode;   // what it must end with
};

std::vector<TemplateStep> TemplateSteps() {
    return {
        {{"wineboot", "-i"}, 0},
        {{"winecfg", "-v", "win10"}, 0},
        // The trace shows only these functions' calls (see relay_trace.h).
        {{"reg", "add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/t", "REG_SZ", "/d", TRACED_FUNCTIONS,
          "/f"},
         0},
        // Desktop shortcuts stay in the prefix: no menu entries on the host.
        {{"reg", "add", "HKCU\\Software\\Wine\\DllOverrides", "/v", "winemenubuilder.exe", "/t", "REG_SZ", "/d", "",
          "/f"},
         0},
    };
}

// The 32-bit command interpreter ends as told only where Wine runs 32-bit programs.
const int WINE_32_BIT_CHECK_CODE = 7;

Problem PrepareTemplate(const WinePrefix& prefix, bool* wineProblem) {
    Problem problem = StartWineServer(prefix);
    for (const TemplateStep& step : TemplateSteps()) {
        if (problem) break;
        int exitCode = -1;
        problem = RunWine(prefix, step.arguments, WINE_STEP_SECONDS, &exitCode);
        if (!problem && exitCode != step.exitCode)
            problem = step.arguments[0] + " failed (exit code " + std::to_string(exitCode) + ")";
    }
    *wineProblem = bool(problem);
    if (!problem) {
        int exitCode = -1;
        problem =
            RunWine(prefix, {"C:\\windows\\syswow64\\cmd.exe", "/c", "exit", std::to_string(WINE_32_BIT_CHECK_CODE)},
                    WINE_STEP_SECONDS, &exitCode);
        if (!problem && exitCode != WINE_32_BIT_CHECK_CODE)
            problem = Wine32BitProblem("its 32-bit command interpreter ended with " + std::to_string(exitCode));
        *wineProblem = bool(problem);
    }
    StopWineServer(prefix);
    if (problem) return problem.text + "; see " + prefix.logPath;
    KeepOnlyDriveC(prefix.path);
    problem = SealDriveC(JoinPath(prefix.path, "drive_c"));
    // Wine would update a prefix made by another version: never this one.
    if (!problem) problem = WriteText(JoinPath(prefix.path, ".update-timestamp"), "disable\n");
    return problem;
}

// Templates made otherwise, or with another version of Wine: never used again.
void RemoveOtherTemplates(const std::string& cache, const std::string& kept) {
    std::vector<std::string> names;
    (void)ListDirectory(cache, &names);
    for (const std::string& name : names)
        if (name.compare(0, strlen(TEMPLATE_NAME_START), TEMPLATE_NAME_START) == 0 && name != kept)
            (void)RemoveTree(JoinPath(cache, name));
}

}   // namespace

Problem CreateUniqueFolder(const std::string& prefix, std::string* folder) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    Problem problem;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = prefix;
        for (int index = 0; index < 8; ++index) candidate += letters[entropy() % (sizeof(letters) - 1)];
        problem = CreateNewDirectory(candidate);
        if (!problem) {
            *folder = candidate;
            return {};
        }
        FileStatus status;
        if (QueryFileStatus(candidate, false, &status)) break;   // not a name taken: a real failure
    }
    return Prefixed(prefix + "...: ", problem);
}

Problem FindCacheFolder(std::string* folder) {
    std::optional<std::string> cache = EnvironmentValue("XDG_CACHE_HOME");
    if (!cache || cache->empty() || (*cache)[0] != '/') {
        std::optional<std::string> home = EnvironmentValue("HOME");
        if (!home || home->empty()) return "no cache folder: set XDG_CACHE_HOME or HOME";
        cache = JoinPath(*home, ".cache");
    }
    *folder = JoinPath(*cache, "sfxpack");
    return MakeFolders(*folder);
}

Problem FindOrMakeTemplate(const std::string& cache, const std::string& wineVersion,
                           void (*note)(const std::string& message), std::string* templatePath, bool* wineProblem) {
    *wineProblem = false;
    std::string name = TemplateName(wineVersion);
    *templatePath = JoinPath(cache, name);
    FileStatus status;
    if (!QueryFileStatus(JoinPath(*templatePath, "drive_c"), false, &status)) return {};
    note("making a Windows 10 prefix for try with " + wineVersion + " in " + *templatePath +
         " (once; it takes a minute or two)");
    RemoveOtherTemplates(cache, name);
    std::string building;
    Problem problem = CreateUniqueFolder(JoinPath(cache, "prefix-new-"), &building);
    if (problem) return problem;
    WinePrefix prefix{building, JoinPath(cache, "prefix.log")};
    RemoveFileIfPresent(prefix.logPath);
    problem = PrepareTemplate(prefix, wineProblem);
    // Made whole, then renamed into place: a run that starts meanwhile makes its own.
    if (!problem && RenameFile(building, *templatePath) &&
        QueryFileStatus(JoinPath(*templatePath, "drive_c"), false, &status))
        problem = "cannot put the prefix in place as " + *templatePath;
    (void)RemoveTree(building);
    if (!problem) note("the prefix is ready; later runs of try copy it");
    return problem;
}

Problem CopyTemplate(const std::string& templatePath, const std::string& prefix, std::set<std::string>* linked) {
    Problem problem = CopyFolder(templatePath, prefix, "", linked);
    if (problem) return problem;
    problem = MakeSymbolicLink("../drive_c", JoinPath(JoinPath(prefix, "dosdevices"), "c:"));
    return Prefixed(prefix + ": drive C: ", problem);
}

std::string PrefixUserFolder(const std::string& prefix) {
    std::string users = JoinPath(JoinPath(prefix, "drive_c"), "users");
    std::vector<std::string> names;
    (void)ListDirectory(users, &names);
    for (const std::string& name : names)
        if (name != "Public") return JoinPath(users, name);
    return "";
}
