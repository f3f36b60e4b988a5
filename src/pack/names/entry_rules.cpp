#include "pack/names/entry_rules.h"

#include <vector>

#include "format/installer_format.h"
#include "pack/names/windows_names.h"

namespace {

// The name's parts as the installer separates them, each converted to UTF-8
// and checked on its own; empty on success, else the problem.
Problem NameParts(const EntryRules& rules, const std::string& name, bool isDirectory, std::vector<std::string>* parts) {
    std::string body = name;
    if (isDirectory && !body.empty() && body.back() == '\\') body.pop_back();
    size_t start = 0;
    for (;;) {
        size_t end = body.find('\\', start);
        std::optional<std::string> part = FromCodePage(*rules.codePage, body.substr(start, end - start));
        if (!part)
            return "in code page " + rules.codePage->name +
                   " the name holds a byte that the installer takes for a separator, or one the code page lacks";
        Problem problem = WindowsNameProblem(*part);
        if (!problem) problem = ShortNameProblem(*part);
        if (problem) return "'" + *part + "' " + problem.text;
        parts->push_back(*part);
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

const char* Kind(bool isDirectory) { return isDirectory ? "directory" : "file"; }

// The directories above the entry must be directories, spelled alike; those
// that no entry named yet are recorded as implied.
Problem AncestorProblem(EntryRules* rules, const std::vector<std::string>& parts) {
    std::string path;
    for (size_t index = 0; index + 1 < parts.size(); ++index) {
        path += (index ? "\\" : "") + parts[index];
        auto found = rules->seen.emplace(CaseFoldedKey(path), SeenEntry{path, true, true});
        const SeenEntry& earlier = found.first->second;
        if (!earlier.isDirectory) return "its directory '" + path + "' is a file in this installer";
        if (earlier.path != path)
            return "Windows ignores case, so '" + path + "' is the same name as '" + earlier.path + "'";
    }
    return {};
}

}   // namespace

Problem EntryRuleProblem(EntryRules* rules, const std::string& name, bool isDirectory) {
    if (!IsSafeEntryName(name.c_str()))
        return "the installer refuses the name: it would leave the target directory or name another file";
    std::vector<std::string> parts;
    if (Problem problem = NameParts(*rules, name, isDirectory, &parts)) return problem;
    size_t length = rules->target.size() + name.size();
    size_t limit = isDirectory ? MAX_DIRECTORY_PATH : MAX_FILE_PATH;
    if (length > limit)
        return "the installed path would be " + std::to_string(length) + " characters long; Windows allows " +
               std::to_string(limit);
    if (Problem problem = AncestorProblem(rules, parts)) return problem;

    std::string path = parts[0];
    for (size_t index = 1; index < parts.size(); ++index) path += "\\" + parts[index];
    auto found = rules->seen.emplace(CaseFoldedKey(path), SeenEntry{path, isDirectory, false});
    SeenEntry& earlier = found.first->second;
    if (found.second) return {};
    if (earlier.isDirectory != isDirectory)
        return std::string("a ") + Kind(isDirectory) + " of the same name as the " + Kind(earlier.isDirectory) + " '" +
               earlier.path + "'";
    if (earlier.implied && earlier.path == path) {   // a directory's own entry after those below it
        earlier.implied = false;
        return {};
    }
    if (earlier.path == path) return "a second entry of this name";
    return "Windows ignores case, so this is the same name as '" + earlier.path + "'";
}
