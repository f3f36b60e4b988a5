#include "pack/target_directory.h"

#include <cctype>

#include "pack/windows_names.h"

std::string WithTrailingBackslash(const std::string& target) {
    if (!target.empty() && target.back() == '\\') return target;
    return target + "\\";
}

static bool StartsWithDrive(const std::string& target) {
    return target.size() >= 3 && isalpha((unsigned char)target[0]) && target[1] == ':' && target[2] == '\\';
}

std::string TargetDirectoryProblem(const std::string& target) {
    if (target.find('/') != std::string::npos) return "use backslashes in the target directory, not '/'";
    size_t start = 0;
    if (StartsWithDrive(target))
        start = 3;
    else if (target.compare(0, 2, "\\\\") == 0)
        start = 2;   // a network share
    else if (target[0] == '\\')
        start = 1;   // the root of the current drive
    for (size_t end; (end = target.find('\\', start)) != std::string::npos; start = end + 1) {
        std::string component = target.substr(start, end - start);
        if (component.empty()) return "the target directory holds an empty component ('\\\\')";
        if (component == "." || component == "..") continue;
        std::string problem = WindowsNameProblem(component);
        if (!problem.empty()) return "'" + component + "' in the target directory " + problem;
    }
    return "";
}
