#include "pack/target_directory.h"

#include <cctype>

#include "pack/windows_names.h"

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

std::string TargetDirectoryProblem(const std::string& target) {
    if (target.find('/') != std::string::npos) return "use backslashes in the target directory, not '/'";
    size_t start = 0;
    if (StartsWithDrive(target)) start = 3;
    else if (target.compare(0, 2, "\\\\") == 0) start = 2;   // a network share
    else if (target[0] == '\\') start = 1;                   // the root of the current drive
    for (size_t end; (end = target.find('\\', start)) != std::string::npos; start = end + 1) {
        std::string component = target.substr(start, end - start);
        if (component.empty()) return "the target directory holds an empty component ('\\\\')";
        if (component == "." || component == "..") continue;
        std::string problem = WindowsNameProblem(component);
        if (!problem.empty()) return "'" + component + "' in the target directory " + problem;
    }
    return "";
}
