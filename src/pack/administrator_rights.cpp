#include "pack/administrator_rights.h"

#include <cctype>

#include "format/installer_format.h"
#include "pack/installer/control_file.h"
#include "pack/names/target_directory.h"
#include "pack/names/windows_names.h"

namespace {

// Windows' installer detection names "install", "setup" and "update"; its
// compatibility database matches "patch" too.
const char* const ELEVATING_WORDS[] = {"setup", "install", "update", "patch"};

struct ProtectedFolder {
    const char* path;   // "?" stands for any drive letter
    bool withSubfolders;
};

// Standard users may make folders in a drive's root, not files.
const ProtectedFolder PROTECTED_FOLDERS[] = {
    {"C:\\Program Files\\", true},
    {"C:\\Program Files (x86)\\", true},
    {"C:\\Windows\\", true},
    {"?:\\", false},
};

bool InFolder(const std::string& target, const ProtectedFolder& folder) {
    std::string path = AsciiLowercase(folder.path), lower = AsciiLowercase(target);
    if (lower.size() < path.size() || (!folder.withSubfolders && lower.size() != path.size())) return false;
    for (size_t index = 0; index < path.size(); ++index)
        if (path[index] != lower[index] && !(path[index] == '?' && isalpha((unsigned char)lower[index]))) return false;
    return true;
}

std::string WordList() {
    std::string list;
    size_t count = sizeof(ELEVATING_WORDS) / sizeof(ELEVATING_WORDS[0]);
    for (size_t index = 0; index < count; ++index)
        list += std::string(index == 0 ? "" : index + 1 == count ? " or " : ", ") + ELEVATING_WORDS[index];
    return list;
}

// "app-setup.exe" for "app.exe".
std::string NameWithWord(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0) dot = fileName.size();
    return fileName.substr(0, dot) + "-" + ELEVATING_WORDS[0] + fileName.substr(dot);
}

}   // namespace

const char* ElevatingWord(const std::string& fileName) {
    std::string lower = AsciiLowercase(fileName);
    for (const char* word : ELEVATING_WORDS)
        if (lower.find(word) != std::string::npos) return word;
    return nullptr;
}

bool NeedsAdministratorRights(const std::string& target) {
    std::string resolved = ResolvedTarget(target);
    for (const ProtectedFolder& folder : PROTECTED_FOLDERS)
        if (InFolder(resolved, folder)) return true;
    return false;
}

std::string AdministratorRightsWarning(const std::string& fileName, const std::string& target, bool temporaryRun) {
    const char* word = ElevatingWord(fileName);
    std::string named = "'" + fileName + "'";
    std::string rename = "; name it so ('" + NameWithWord(fileName) + "'), or have it run as administrator";
    if (!word && temporaryRun)
        return "Windows asks for administrator rights only for an installer whose file name holds " + WordList() +
               ", and " + named + " holds none: run without them, a temporary run cannot write its list of " +
               "extracted files, " + EXTRACTION_LIST_PATH + ", where standard users make no files, and so " +
               "removes nothing after the run" + rename;
    if (!word && NeedsAdministratorRights(target))
        return "the target '" + target + "' is in a folder that standard users cannot write, but Windows asks for " +
               "administrator rights only for an installer whose file name holds " + WordList() + ", and " + named +
               " holds none: run by a standard user, it writes its files to that user's private VirtualStore, or " +
               "fails" + rename;
    if (word && !temporaryRun && IsRelativeWindowsPath(target))
        return named + " holds '" + word + "', so Windows asks for administrator rights to run it, which its " +
               "relative target '" + target + "' does not need; afterwards Windows may say \"This program might " +
               "not have installed correctly\"; a name without " + WordList() + " avoids both";
    return "";
}

std::string RunWithRightsWarning(const std::string& fileName, const std::string& command) {
    const char* word = ElevatingWord(fileName);
    if (!word || command.empty()) return "";
    return "'" + fileName + "' holds '" + word + "', so Windows runs it with administrator rights, and --run '" +
           command + "' starts the program with them too: it runs with rights it should not have, and its settings " +
           "land in the administrator's profile, not the user's; leave out --run (the user starts it from the " +
           "shortcut), or name the installer without " + WordList();
}
