#include "pack/host/tree_walk.h"

#include <algorithm>

#include "format/installer_format.h"
#include "pack/names/entry_rules.h"
#include "pack/names/windows_names.h"

namespace {

struct Walk {
    const WalkOptions* options;
    std::vector<SourceEntry>* entries;
    std::vector<FileIdentity> open;   // the directories from the root down to the current one
    EntryRules rules;
    bool outsideCodePage = false;
};

Problem Failure(const std::string& path, const std::string& problem) { return path + ": " + problem; }

// The names in the directory, sorted byte-wise: the same tree always gives the same order.
Problem SortedNames(const std::string& path, std::vector<std::string>* names) {
    if (Problem problem = ListDirectory(path, names)) return Failure(path, problem.text);
    std::sort(names->begin(), names->end());
    return {};
}

bool IsSkipped(const Walk& walk, const FileStatus& status) {
    for (const FileIdentity& skipped : walk.options->skip)
        if (SameFile(skipped, status.identity)) return true;
    return false;
}

// The kind of thing at path, following a symbolic link only when asked to.
Problem Inspect(const Walk& walk, const std::string& path, FileStatus* status) {
    if (Problem problem = QueryFileStatus(path, false, status)) return Failure(path, problem.text);
    if (status->kind == FILE_KIND_LINK) {
        if (!walk.options->followLinks)
            return Failure(path, "is a symbolic link (use --follow-links to pack what it points to)");
        if (Problem problem = QueryFileStatus(path, true, status))
            return Failure(path, "symbolic link to nothing usable: " + problem.text);
    }
    if (status->kind != FILE_KIND_DIRECTORY && status->kind != FILE_KIND_REGULAR)
        return Failure(path, "is neither a regular file nor a directory");
    return {};
}

// Why the host's name cannot become a Windows name, or empty.
Problem HostNameProblem(const std::string& name, bool topLevel) {
    if (!IsValidUtf8(name)) return "the name is not valid UTF-8";
    if (Problem problem = WindowsNameProblem(name)) return "the name " + problem.text;
    if (topLevel && name == CONTROL_FILE_NAME)
        return std::string("the installer takes a top-level ") + CONTROL_FILE_NAME +
               " for its control file, and the control options make one of their own";
    return {};
}

Problem WalkDirectory(Walk& walk, const std::string& hostPath, const std::string& prefix) {
    std::vector<std::string> names;
    Problem problem = SortedNames(hostPath, &names);
    if (problem) return problem;
    for (const std::string& name : names) {
        std::string path = hostPath + "/" + name;
        FileStatus status;
        if ((problem = Inspect(walk, path, &status))) return problem;
        if (IsSkipped(walk, status)) continue;
        bool isDirectory = status.kind == FILE_KIND_DIRECTORY;

        if ((problem = HostNameProblem(name, prefix.empty()))) return Failure(path, problem.text);
        std::optional<std::string> ansiName = ToCodePage(*walk.options->codePage, name);
        if (!ansiName) {
            walk.outsideCodePage = true;
            return Failure(path, "the name cannot be written in code page " + walk.options->codePage->name);
        }
        std::string entryName = prefix + *ansiName + (isDirectory ? "\\" : "");
        if ((problem = EntryRuleProblem(&walk.rules, entryName, isDirectory))) return Failure(path, problem.text);

        if (!isDirectory) {
            if (status.size > ARCHIVE_MAX_SIZE)
                return Failure(path, "the file holds " + std::to_string(status.size) +
                                         " bytes; an installer holds at most " + std::to_string(ARCHIVE_MAX_SIZE));
            walk.entries->push_back({path, entryName, false, status.size});
            continue;
        }
        for (const FileIdentity& visit : walk.open)
            if (SameFile(visit, status.identity))
                return Failure(path, "symbolic link loop: it leads back to a directory that contains it");
        walk.entries->push_back({path, entryName, true, 0});
        walk.open.push_back(status.identity);
        problem = WalkDirectory(walk, path, entryName);
        walk.open.pop_back();
        if (problem) return problem;
    }
    return {};
}

}   // namespace

Problem WalkTree(const std::string& root, const WalkOptions& options, std::vector<SourceEntry>* entries,
                 bool* outsideCodePage) {
    FileStatus status;
    if (Problem problem = QueryFileStatus(root, true, &status)) return Failure(root, problem.text);
    if (status.kind != FILE_KIND_DIRECTORY) return Failure(root, "is not a directory");
    std::string start = root;
    while (start.size() > 1 && start.back() == '/') start.pop_back();
    Walk walk{&options, entries, {status.identity}, EntryRules()};
    walk.rules.codePage = options.codePage;
    walk.rules.target = options.target;
    walk.rules.controlFile = options.controlFileWanted;
    Problem problem = WalkDirectory(walk, start, "");
    if (outsideCodePage) *outsideCodePage = walk.outsideCodePage;
    return problem;
}
