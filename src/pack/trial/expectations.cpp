#include "pack/trial/expectations.h"

#include <algorithm>
#include <map>

#include "format/installer_format.h"
#include "pack/installer/control_file.h"
#include "pack/names/windows_names.h"
#include "pack/trial/windows_paths.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool IsDamaged(const Installer& installer) { return installer.archiveProblem || installer.streamProblem; }

bool SamePath(const std::string& a, const std::string& b) { return PathKey(a) == PathKey(b); }

std::string ExitCodeMeaning(int code) {
    if (code == EXIT_INSTALL_FAILED) return " (the installation failed)";
    if (code == EXIT_INVALID_ARCHIVE) return " (the installer refused its archive)";
    return "";
}

// The exit code and the boxes of the mode: the error box for a damaged
// archive, the completion box (any text) in shortcut mode, else none.
void CompareEnd(const Installer& installer, TrialReport* report) {
    bool damaged = IsDamaged(installer);
    int expectedCode = damaged ? EXIT_INVALID_ARCHIVE : EXIT_COMPLETED;
    std::vector<TrialBox> expected;
    if (damaged) expected.push_back({ERROR_CAPTION, INVALID_ARCHIVE_TEXT});
    else if (installer.control.mode == CONTROL_SHORTCUT) expected.push_back({COMPLETION_CAPTION, ""});
    if (report->exitCode && *report->exitCode != expectedCode)
        report->problems.push_back("exit code " + std::to_string(*report->exitCode) +
                                   ExitCodeMeaning(*report->exitCode) + ", expected " + std::to_string(expectedCode));
    const std::vector<TrialBox>& seen = report->boxes;
    for (size_t index = 0; index < seen.size() || index < expected.size(); ++index) {
        bool both = index < seen.size() && index < expected.size();
        if (both && seen[index].caption == expected[index].caption &&
            (expected[index].text.empty() || seen[index].text == expected[index].text))
            continue;
        if (index >= seen.size()) {
            report->problems.push_back("no box " + Quoted(expected[index].caption));
            continue;
        }
        std::string box = "box " + Quoted(seen[index].caption) + ": " + Quoted(seen[index].text);
        report->problems.push_back(
            box + (index < expected.size() ? ", expected " + Quoted(expected[index].caption) : ", expected none"));
    }
}

// Drive C: at the end, by the keys of the paths.
typedef std::map<std::u32string, TreeSnapshot::const_iterator> SnapshotByKey;

SnapshotByKey PathsByKey(const TreeSnapshot& after) {
    SnapshotByKey paths;
    for (auto entry = after.begin(); entry != after.end(); ++entry) paths[PathKey(WindowsPathOf(entry->first))] = entry;
    return paths;
}

struct PackedPlaces {
    std::string target;                         // absolute on C:, empty when elsewhere
    std::map<std::u32string, size_t> entries;   // by the key of each entry's path
};

std::string EntryPath(const PackedPlaces& places, const CodePage& codePage, const StreamEntry& entry) {
    std::string name = PrintableText(codePage, entry.name);
    for (char& c : name) c = c == '/' ? '\\' : c;
    while (!name.empty() && name.back() == '\\') name.pop_back();
    return places.target + (places.target.back() == '\\' ? "" : "\\") + name;
}

// Whether the installed file or folder holds what was packed: empty, or why not.
std::string InstalledProblem(const Installer& installer, const StreamEntry& entry, const std::string& hostPath,
                             const FileStatus& status) {
    bool folder = entry.sizeCode == SIZE_CODE_DIRECTORY;
    if (folder) return status.kind == FILE_KIND_DIRECTORY ? "" : "is not a folder, packed as one";
    if (status.kind != FILE_KIND_REGULAR) return "is not a file, packed as one";
    std::vector<uint8_t> bytes;
    if (ReadWholeFile(hostPath, &bytes)) return "cannot be read";
    const uint8_t* packed = installer.stream.data() + entry.dataOffset;
    if (bytes.size() != (size_t)entry.sizeCode || !std::equal(bytes.begin(), bytes.end(), packed))
        return "differs from the packed file (" + std::to_string(bytes.size()) + " bytes, packed " +
               std::to_string(entry.sizeCode) + ")";
    return "";
}

// Every packed entry but the control file, installed with its bytes; and the
// asPacked of each change that is a packed entry.
void CompareEntries(const Installer& installer, const CodePage& codePage, const TrialPlaces& places,
                    const SnapshotByKey& atEnd, const PackedPlaces& packed, TrialReport* report) {
    std::map<std::u32string, bool> asPacked;
    for (size_t index = 0; index < installer.parsed.entries.size(); ++index) {
        if ((int)index == installer.controlEntry) continue;
        const StreamEntry& entry = installer.parsed.entries[index];
        std::string path = EntryPath(packed, codePage, entry);
        auto found = atEnd.find(PathKey(path));
        if (found == atEnd.end()) {
            report->problems.push_back(path + " was not installed");
            continue;
        }
        std::string problem =
            InstalledProblem(installer, entry, JoinPath(places.driveC, found->second->first), found->second->second);
        asPacked[PathKey(path)] = problem.empty();
        if (!problem.empty()) report->problems.push_back(path + " " + problem);
    }
    for (TrialChange& change : report->installed) {
        auto known = asPacked.find(PathKey(change.path));
        if (known != asPacked.end() && change.change != CHANGE_REMOVED) change.asPacked = known->second;
    }
    if (installer.controlEntry >= 0) {
        std::string path = EntryPath(packed, codePage, installer.parsed.entries[(size_t)installer.controlEntry]);
        if (atEnd.count(PathKey(path))) report->problems.push_back("the control file " + path + " was left behind");
    }
}

void CompareShortcut(const ControlValues& control, const CodePage& codePage, const TrialPlaces& places,
                     const PackedPlaces& packed, TrialReport* report) {
    std::string name = PrintableText(codePage, control.name);
    std::string path = places.desktop + "\\" + name + ".lnk";
    for (const TrialShortcut& shortcut : report->shortcuts) {
        if (!SamePath(shortcut.path, path)) continue;
        auto differs = [&](const char* what, const std::string& seen, const std::string& expected) {
            report->problems.push_back("the shortcut " + path + " has the " + what + " " + Quoted(seen) +
                                       ", expected " + Quoted(expected));
        };
        std::string program = PrintableText(codePage, control.program);
        if (!SamePath(AbsoluteOnDriveC(shortcut.target, places.startFolder),
                      AbsoluteOnDriveC(program, places.startFolder)))
            differs("target", shortcut.target, program);
        if (!SamePath(AbsoluteOnDriveC(shortcut.workingDirectory, places.startFolder), packed.target))
            differs("working directory", shortcut.workingDirectory, packed.target);
        std::string icon = PrintableText(codePage, control.icon);
        if (!icon.empty() && !SamePath(shortcut.icon, icon)) differs("icon", shortcut.icon, icon);
        if (shortcut.description != name) differs("description", shortcut.description, name);
        return;
    }
    report->problems.push_back("no desktop shortcut " + path);
}

// The command was started (by the installer, or by the shell for it).
void CompareCommand(const ControlValues& control, const CodePage& codePage, TrialReport* report) {
    std::string command = PrintableText(codePage, control.command);
    if (command.empty()) return;
    std::string program = AsciiLowercase(ProgramOf(command));
    for (const TrialStart& start : report->started)
        if (AsciiLowercase(start.command).find(program) != std::string::npos) return;
    report->problems.push_back("the command " + Quoted(command) + " did not start");
}

}   // namespace

void CompareWithArchive(const Installer& installer, const CodePage& codePage, const TrialPlaces& places,
                        const TreeSnapshot& after, TrialReport* report) {
    if (IsDamaged(installer)) {
        std::string why = installer.archiveProblem ? installer.archiveProblem.text : installer.streamProblem.text;
        report->problems.push_back("the installer is damaged: " + why);
    }
    CompareEnd(installer, report);
    for (const TrialChange& change : report->installed)
        if (change.change == CHANGE_REMOVED)
            report->problems.push_back(change.path + " was removed, and the run had not made it");
    // A temporary run lists it with what else it left.
    SnapshotByKey atEnd = PathsByKey(after);
    if (atEnd.count(PathKey(EXTRACTION_LIST_PATH)) && installer.control.mode != CONTROL_TEMP_RUN)
        report->problems.push_back(std::string("the extraction list ") + EXTRACTION_LIST_PATH + " was left behind");
    if (IsDamaged(installer)) return;

    PackedPlaces packed;
    packed.target = AbsoluteOnDriveC(PrintableText(codePage, installer.parsed.target), places.startFolder);
    if (packed.target.empty()) {
        report->problems.push_back("the target " + PrintableText(codePage, installer.parsed.target) +
                                   " is not on drive C:, the only drive of the prefix");
        return;
    }
    const ControlValues& control = installer.control;
    if (control.mode == CONTROL_TEMP_RUN) {
        report->leftAfterRun = std::vector<std::string>();
        for (const TrialChange& change : report->installed)
            if (change.change == CHANGE_CREATED) {
                report->leftAfterRun->push_back(change.path);
                report->problems.push_back("left after the temporary run: " + change.path);
            }
    } else {
        CompareEntries(installer, codePage, places, atEnd, packed, report);
    }
    if (control.mode == CONTROL_SHORTCUT) CompareShortcut(control, codePage, places, packed, report);
    CompareCommand(control, codePage, report);
}
