#include "pack/trial/trial.h"

#include <chrono>
#include <set>

#include "pack/installer/installer_reader.h"
#include "pack/names/windows_names.h"
#include "pack/trial/expectations.h"
#include "pack/trial/relay_trace.h"
#include "pack/trial/shell_link.h"
#include "pack/trial/tree_snapshot.h"
#include "pack/trial/windows_paths.h"
#include "pack/trial/wine.h"
#include "pack/trial/wine_prefix.h"
#include "platform/platform.h"

namespace {

// The installer's run is traced: the calls that the prefix names (relay), the
// process of each line (pid), the id of each process started (process) and
// the image each process runs (loaddll).
const char* const RUN_DEBUG_CHANNELS = "+relay,+pid,+process,+loaddll";

struct Run {
    Run(const TrialRequest& request, const CodePage& codePage, const Installer& installer, bool* wineProblem)
        : request(request), codePage(codePage), installer(installer), wineProblem(wineProblem) {}
    const TrialRequest& request;
    const CodePage& codePage;
    const Installer& installer;
    bool* wineProblem;
    std::string cache;
    WinePrefix prefix;
    std::string templatePath;
    std::set<std::string> linked;   // the prefix's files that are the template's too
    TrialPlaces places;
    std::string installerPath;   // the copy's Windows path
    std::string startFolder;     // on the host
    TreeSnapshot before;
    TreeSnapshot after;
};

// The folder for the prefix and the log: the kept one (new or empty), or a new one in the cache.
Problem MakeRunFolder(const TrialRequest& request, const std::string& cache, std::string* folder) {
    if (request.keepFolder.empty()) return CreateUniqueFolder(JoinPath(cache, "run-"), folder);
    *folder = AbsolutePath(request.keepFolder);
    FileStatus status;
    if (QueryFileStatus(*folder, true, &status)) {
        Problem problem = CreateNewDirectory(*folder);
        return Prefixed(request.keepFolder + ": ", problem);
    }
    std::vector<std::string> names;
    Problem problem = status.kind == FILE_KIND_DIRECTORY ? ListDirectory(*folder, &names) : "not a folder";
    if (!problem && !names.empty()) problem = "not empty: --keep takes a new or empty folder";
    return Prefixed(request.keepFolder + ": ", problem);
}

// Puts the installer's bytes into the prefix user's Downloads folder, under its own name.
Problem PlaceInstaller(Run* run) {
    std::string user = PrefixUserFolder(run->prefix.path);
    if (user.empty()) return run->prefix.path + ": the prefix has no user folder";
    std::string userName = user.substr(user.find_last_of('/') + 1);
    std::string name = run->request.installerPath.substr(run->request.installerPath.find_last_of('/') + 1);
    std::string windowsUser = "C:\\users\\" + userName;
    run->places = {JoinPath(run->prefix.path, "drive_c"), windowsUser + "\\Downloads\\", windowsUser + "\\Desktop"};
    run->startFolder = JoinPath(user, "Downloads");
    run->installerPath = run->places.startFolder + name;
    OpenFile copy;
    std::string path = JoinPath(run->startFolder, name);
    Problem problem = CreateFileForWriting(path, &copy);
    if (!problem) {
        problem = WriteToFile(&copy, run->installer.file.data(), run->installer.file.size());
        Problem closed = CloseFile(&copy);
        if (!problem) problem = closed;
    }
    return Prefixed(path + ": ", problem);
}

// The prefix, its template made first when missing, with the installer in place.
Problem PreparePrefix(Run* run) {
    std::string version;
    Problem problem = ReadWineVersion(run->prefix, &version);
    if (problem) {
        *run->wineProblem = true;
        return problem.text + "; " + Wine32BitProblem("it does not start");
    }
    problem = FindOrMakeTemplate(run->cache, version, run->request.note, &run->templatePath, run->wineProblem);
    if (!problem) problem = CopyTemplate(run->templatePath, run->prefix.path, &run->linked);
    if (!problem) problem = PlaceInstaller(run);
    if (!problem) problem = TakeSnapshot(run->places.driveC, &run->before);
    return problem;
}

bool EndsWithLink(const std::string& path) {
    return path.size() > 4 && AsciiLowercase(path.substr(path.size() - 4)) == ".lnk";
}

// A shortcut on a desktop, users/NAME/Desktop/FILE.lnk below drive C:.
bool IsDesktopShortcut(const std::string& path) {
    size_t desktop = path.find("/Desktop/");
    return path.compare(0, 6, "users/") == 0 && desktop != std::string::npos && path.find('/', 6) == desktop &&
           path.find('/', desktop + 9) == std::string::npos && EndsWithLink(path);
}

void ReadShortcut(const Run& run, const std::string& path, TrialReport* report) {
    std::vector<uint8_t> bytes;
    ShellLink link;
    Problem problem = ReadWholeFile(JoinPath(run.places.driveC, path), &bytes);
    if (!problem) problem = ReadShellLink(bytes, run.codePage, &link);
    std::string windowsPath = WindowsPathOf(path);
    if (problem) {
        report->problems.push_back(windowsPath + ": " + problem.text);
        return;
    }
    std::string name = path.substr(path.find_last_of('/') + 1);
    report->shortcuts.push_back({windowsPath, name.substr(0, name.size() - 4), link.target, link.workingDirectory,
                                 link.icon, link.description});
}

// What changed on drive C:, and the shortcuts among it. A file that the prefix
// shares with its template and that changed in place changed the template
// too: it is removed, and the next run makes a new one.
void RecordChanges(const Run& run, TrialReport* report) {
    bool templateChanged = false;
    for (const TreeChange& change : CompareSnapshots(run.before, run.after)) {
        bool folder = change.status.kind == FILE_KIND_DIRECTORY;
        TrialChangeKind kind = change.change == TREE_CREATED   ? CHANGE_CREATED
                               : change.change == TREE_CHANGED ? CHANGE_CHANGED
                                                               : CHANGE_REMOVED;
        report->installed.push_back({WindowsPathOf(change.path), kind, folder, change.status.size, std::nullopt});
        if (kind != CHANGE_REMOVED && change.status.kind == FILE_KIND_REGULAR && IsDesktopShortcut(change.path))
            ReadShortcut(run, change.path, report);
        auto before = run.before.find(change.path);
        templateChanged = templateChanged || (kind == CHANGE_CHANGED && run.linked.count("drive_c/" + change.path) &&
                                              SameFile(before->second.identity, change.status.identity));
    }
    if (templateChanged && !RemoveTree(run.templatePath))
        run.request.note("the run changed Wine's own files, which the prefix shares with its template: the "
                         "template is removed, and the next run makes a new one");
}

// Runs the installer from the Downloads folder and waits for it, at most the time allowed.
Problem WatchInstaller(Run* run, TrialReport* report) {
    Problem problem = StartWineServer(run->prefix);
    RunningProgram installer;
    if (!problem)
        problem = StartWine(run->prefix, {run->installerPath}, run->startFolder, RUN_DEBUG_CHANNELS, &installer);
    if (problem) {
        *run->wineProblem = true;
        return problem;
    }
    auto started = std::chrono::steady_clock::now();
    int exitCode = 0;
    ProgramState state = WaitForProgram(&installer, run->request.timeoutSeconds * 1000, true, &exitCode);
    report->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (state != PROGRAM_ENDED) StopProgram(&installer);
    if (state == PROGRAM_WAIT_INTERRUPTED) return "interrupted";
    if (state == PROGRAM_ENDED) report->exitCode = exitCode;
    else
        report->problems.push_back("the installer did not end within " + std::to_string(run->request.timeoutSeconds) +
                                   " s; it was stopped");
    return {};
}

// What the trace says: the boxes, the programs started and which of them still run.
Problem ReadTrace(const Run& run, TrialReport* report) {
    std::vector<uint8_t> bytes;
    Problem problem = ReadWholeFile(run.prefix.logPath, &bytes);
    if (problem) return problem;
    RelayTrace trace = ReadRelayTrace(std::string(bytes.begin(), bytes.end()), run.installerPath,
                                      run.places.startFolder, run.codePage);
    if (!trace.installerSeen) {
        if (run.installer.archiveProblem) {
            report->problems.push_back("Windows did not start the installer");
            return {};
        }
        *run.wineProblem = true;
        return "Wine did not start the installer: see " + run.prefix.logPath;
    }
    for (const TracedBox& box : trace.boxes) report->boxes.push_back({box.caption, box.text});
    for (const TracedStart& start : trace.starts)
        report->started.push_back({start.command, start.directory, !trace.endedProcesses.count(start.process)});
    return {};
}

void SayNothing(const std::string&) {}

Problem RunInFolder(Run* run, TrialReport* report) {
    Problem problem = PreparePrefix(run);
    if (!problem) problem = WatchInstaller(run, report);
    if (!problem) problem = ReadTrace(*run, report);
    StopWineServer(run->prefix);   // ends the programs still running, with Wine's own
    if (problem) return problem;
    problem = TakeSnapshot(run->places.driveC, &run->after);
    if (problem) return problem;
    RecordChanges(*run, report);
    CompareWithArchive(run->installer, run->codePage, run->places, run->after, report);
    return {};
}

}   // namespace

Problem RunTrial(const TrialRequest& given, const CodePage& codePage, TrialReport* report, bool* wineProblem) {
    TrialRequest request = given;
    if (!request.note) request.note = SayNothing;
    *wineProblem = true;
    Problem problem = WineHostProblem();
    if (!problem) problem = MissingWineProblem();
    if (problem) return problem;
    *wineProblem = false;
    Installer installer;
    (void)ReadInstallerFile(request.installerPath, &installer);   // a damaged one is run too
    if (!installer.fileRead) return installer.archiveProblem;
    std::string cache, folder;
    problem = FindCacheFolder(&cache);
    if (!problem) problem = MakeRunFolder(request, cache, &folder);
    if (problem) return problem;
    CatchInterrupts();
    Run run(request, codePage, installer, wineProblem);
    run.cache = cache;
    run.prefix = {JoinPath(folder, "prefix"), JoinPath(folder, "wine.log")};
    problem = RunInFolder(&run, report);
    if (request.keepFolder.empty()) (void)RemoveTree(folder);
    else report->keptFolder = folder;
    if (InterruptCaught()) EndAsInterrupted();
    return problem;
}
