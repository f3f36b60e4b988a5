#include "pack/names/target_directory.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "format/installer_format.h"
#include "pack/names/windows_names.h"

static bool StartsWithDrive(const std::string& target) {
    return target.size() >= 3 && isalpha((unsigned char)target[0]) && target[1] == ':' && target[2] == '\\';
}

static bool StartsWithDots(const std::string& target) {
    return target.compare(0, 2, ".\\") == 0 || target.compare(0, 3, "..\\") == 0;
}

std::string NormalizedTarget(const std::string& target) {
    std::string normalized = target;
    if (normalized.empty() || normalized.back() != '\\') normalized += "\\";
    bool relative = normalized[0] != '\\' && !StartsWithDrive(normalized) && normalized.find(':') == std::string::npos;
    if (relative && !StartsWithDots(normalized)) normalized = ".\\" + normalized;
    return normalized;
}

Problem TargetDirectoryProblem(const std::string& target) {
    if (target.find('/') != std::string::npos) return "use backslashes in the target directory, not '/'";
    size_t start = 0;
    if (StartsWithDrive(target)) start = 3;
    else if (target.compare(0, 2, "\\\\") == 0) start = 2;   // a network share
    else if (target[0] == '\\') start = 1;                   // the root of the current drive
    for (size_t end; (end = target.find('\\', start)) != std::string::npos; start = end + 1) {
        std::string component = target.substr(start, end - start);
        if (component.empty()) return "the target directory holds an empty component ('\\\\')";
        if (component == "." || component == "..") continue;
        if (Problem problem = WindowsNameProblem(component))
            return "'" + component + "' in the target directory " + problem.text;
    }
    return {};
}

std::string TemporaryRunTarget(const std::string& outputPath) {
    std::string name = outputPath.substr(outputPath.find_last_of("/\\") + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return ".\\" + name + ".tmp\\";
}

// The length of the target's root, which ".." does not leave: "C:\",
// "\\server\share\", "\"; 0 for a relative target.
static size_t RootLength(const std::string& target) {
    if (StartsWithDrive(target)) return 3;
    if (target.compare(0, 2, "\\\\") == 0) {
        size_t share = target.find('\\', 2);
        size_t end = share == std::string::npos ? share : target.find('\\', share + 1);
        return end == std::string::npos ? target.size() : end + 1;
    }
    return !target.empty() && target[0] == '\\' ? 1 : 0;
}

std::string ResolvedTarget(const std::string& target) {
    size_t root = RootLength(target);
    std::vector<std::string> parts;
    for (size_t start = root, end; (end = target.find('\\', start)) != std::string::npos; start = end + 1) {
        std::string part = target.substr(start, end - start);
        if (part.empty() || part == ".") continue;
        if (part != "..") parts.push_back(part);
        else if (!parts.empty() && parts.back() != "..") parts.pop_back();
        else if (root == 0) parts.push_back(part);   // above where it starts; a root has nothing above
    }
    std::string resolved = root ? target.substr(0, root) : parts.empty() || parts[0] != ".." ? ".\\" : "";
    for (const std::string& part : parts) resolved += part + "\\";
    return resolved;
}

bool OnTheCurrentDrive(const std::string& target) {
    return !target.empty() && target[0] == '\\' && target.compare(0, 2, "\\\\") != 0;
}

Problem TemporaryRunTargetProblem(const std::string& target) {
    std::string resolved = ResolvedTarget(target), where;
    if (resolved == ".\\") where = "it is the directory the installer is started in";
    else if (resolved.compare(0, 3, "..\\") == 0)
        where = "it lies above or beside the directory the installer is started in";
    else if (resolved.size() == RootLength(resolved)) where = "it is the root of a drive";
    else if (OnTheCurrentDrive(resolved))
        return "it lies on whichever drive the installer is started from (a USB stick's, a network drive's), among "
               "whatever that drive holds; name the drive, as in C:" +
               resolved;
    else return {};
    return where + ", among the user's own files: a temporary run needs a directory of its own, which the installer "
                   "creates and removes again (it fails on one that already exists)";
}

Problem TargetLengthProblem(size_t ansiLength, bool controlFile) {
    size_t longest = ansiLength + (controlFile ? strlen(CONTROL_FILE_NAME) : 0);
    if (ansiLength > MAX_DIRECTORY_PATH || longest > MAX_FILE_PATH)
        return "too long for the files the installer makes there";
    return {};
}
