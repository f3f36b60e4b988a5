#include "pack/installer_warnings.h"

#include <cctype>
#include <set>

#include "format/installer_format.h"
#include "pack/administrator_rights.h"
#include "pack/names/target_directory.h"
#include "pack/names/windows_names.h"

namespace {

// The installer's texts in UTF-8 (checked by now: create made them from
// UTF-8, and verify warns only about an installer whose texts convert).
struct Texts {
    std::string target;
    std::vector<std::string> names;   // a directory's ends with '\'
    ControlValues control;
};

Texts InUtf8(const Installer& installer, const CodePage& codePage) {
    Texts texts;
    texts.target = PrintableText(codePage, installer.parsed.target);
    for (const StreamEntry& entry : installer.parsed.entries)
        texts.names.push_back(PrintableText(codePage, entry.name));
    texts.control = installer.control;
    for (const ControlLineSpec& line : CONTROL_FILE_LINES)
        texts.control.*line.value = PrintableText(codePage, installer.control.*line.value);
    return texts;
}

bool IsAbsoluteWindowsPath(const std::string& path) {
    bool drive = path.size() >= 3 && isalpha((unsigned char)path[0]) && path[1] == ':' && path[2] == '\\';
    return drive || path.compare(0, 2, "\\\\") == 0;
}

bool IsDirectoryName(const std::string& name) { return !name.empty() && name.back() == '\\'; }

bool IsAscii(const std::string& text) {
    for (char c : text)
        if ((unsigned char)c >= 0x80) return false;
    return true;
}

// The control values that name paths: with forward slashes, a shortcut to a
// relative path, or a path in the target that nothing packed has.
void WarnAboutControlValues(const Texts& texts, const ControlValues* given, std::vector<std::string>* warnings) {
    const ControlModeSpec* mode = FindControlMode(texts.control.mode);
    if (!mode) return;
    const std::string& target = texts.target;
    std::set<std::u32string> packed;
    for (const std::string& name : texts.names)
        packed.insert(CaseFoldedKey(target + name.substr(0, name.size() - (IsDirectoryName(name) ? 1 : 0))));
    std::u32string targetKey = CaseFoldedKey(target);
    for (const ControlValueSpec& spec : mode->values) {
        if (spec.fileSuffix) continue;   // a name, not a path
        // As given, and as written (a relative command with the target in front).
        const std::string& value = texts.control.*spec.value;
        const std::string& shown = given ? given->*spec.value : value;
        std::string path = spec.use == COMMAND ? ProgramOf(value) : value;
        if (path.empty()) continue;
        std::string named = std::string(spec.option) + " '" + shown + "'";
        if (path.find('/') != std::string::npos)
            warnings->push_back(named +
                                " holds '/': Windows paths take backslashes, and the installer passes it on as it is");
        if (spec.use == IN_SCRIPT_TRIMMED && !IsAbsoluteWindowsPath(path))
            warnings->push_back(named + " is not an absolute path; shortcuts need one");
        std::u32string key = CaseFoldedKey(path);
        bool comparable = spec.use == COMMAND || IsAbsoluteWindowsPath(target);
        if (comparable && key.compare(0, targetKey.size(), targetKey) == 0 && !packed.count(key))
            warnings->push_back(named + (path == shown ? "" : " ('" + path + "')") +
                                " lies in the target directory but is not packed");
    }
}

// A temporary run removes the files it extracted and the directories it made,
// but enters none of them to empty it.
void WarnAboutNestedDirectories(const Texts& texts, std::vector<std::string>* warnings) {
    if (texts.control.mode != CONTROL_TEMP_RUN) return;
    for (const std::string& name : texts.names) {
        size_t inner = name.find('\\');
        if (!IsDirectoryName(name) || inner + 1 == name.size()) continue;
        warnings->push_back("temporary run: '" + name + "' lies in another packed directory, so '" +
                            name.substr(0, inner + 1) +
                            "' and the target directory stay behind after the run (the removal enters no "
                            "sub-directory)");
        return;
    }
}

// What Windows does with the installer that its maker may not expect: asking
// for administrator rights or not, the drive it extracts to, and reading its
// names in another code page.
void WarnAboutWindows(const Texts& texts, const std::string& fileName, const CodePage& codePage,
                      const ControlValues* given, std::vector<std::string>* warnings) {
    const std::string& target = texts.target;
    bool temporaryRun = texts.control.mode == CONTROL_TEMP_RUN;
    std::string rights = AdministratorRightsWarning(fileName, target, temporaryRun);
    if (!rights.empty()) warnings->push_back(rights);
    if (texts.control.mode == CONTROL_SHORTCUT) {
        rights = RunWithRightsWarning(fileName, given ? given->command : texts.control.command);
        if (!rights.empty()) warnings->push_back(rights);
    }
    if (OnTheCurrentDrive(target) && !temporaryRun)
        warnings->push_back("the target '" + target + "' starts with one backslash: the installer extracts to " +
                            target + " on whichever drive it is started from (a USB stick's, a network drive's); " +
                            "name the drive, as in C:" + target);
    if (IsUtf8CodePage(codePage))
        warnings->push_back("--codepage " + codePage.name +
                            ": Windows takes UTF-8 for its ANSI code page only where the user turned on its beta " +
                            "option \"Use Unicode UTF-8 for worldwide language support\"; elsewhere names outside " +
                            "ASCII install garbled");
    std::vector<std::string> all = texts.names;
    all.insert(all.begin(), target);
    for (const ControlLineSpec& line : CONTROL_FILE_LINES) all.push_back(texts.control.*line.value);
    for (const std::string& text : all)
        if (!IsAscii(text)) {
            warnings->push_back("'" + text + "' is outside ASCII: the installer's names and values install as " +
                                "meant only where Windows' ANSI code page is " + codePage.name + " (--codepage)");
            break;
        }
}

// An earlier build's installer, packed by mistake with the tree it came from.
void WarnAboutInstallers(const Installer& installer, const Texts& texts, std::vector<std::string>* warnings) {
    std::vector<std::string> found;
    for (size_t index = 0; index < installer.parsed.entries.size(); ++index) {
        const StreamEntry& entry = installer.parsed.entries[index];
        if (entry.sizeCode == SIZE_CODE_DIRECTORY || (int)index == installer.controlEntry) continue;
        if (IsInstallerShaped(installer.stream.data() + entry.dataOffset, (size_t)entry.sizeCode))
            found.push_back(texts.names[index]);
    }
    if (found.empty()) return;
    std::string more = found.size() > 1 ? " (and " + std::to_string(found.size() - 1) + " more)" : "";
    warnings->push_back("'" + found[0] + "'" + more +
                        " is itself an installer made by sfxpack: an earlier build's output, packed by mistake? It "
                        "installs as a plain file");
}

}   // namespace

std::vector<std::string> InstallerWarnings(const Installer& installer, const std::string& fileName,
                                           const CodePage& codePage, const ControlValues* given) {
    Texts texts = InUtf8(installer, codePage);
    std::vector<std::string> warnings;
    if (texts.target.find('%') != std::string::npos)
        warnings.push_back("the target directory '" + texts.target +
                           "' holds '%', but the installer expands no variables");
    WarnAboutControlValues(texts, given, &warnings);
    WarnAboutNestedDirectories(texts, &warnings);
    WarnAboutWindows(texts, fileName, codePage, given, &warnings);
    WarnAboutInstallers(installer, texts, &warnings);
    return warnings;
}
