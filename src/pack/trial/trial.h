// sfxpack try: runs an installer in a throwaway Wine prefix that presents
// itself as Windows 10, from the Downloads folder, with no display; records
// what it did (its exit code, message boxes, what changed on drive C:, the
// desktop shortcuts, the programs it started) and compares that with what its
// own archive says it must do.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack/names/code_page.h"

enum TrialChangeKind { CHANGE_CREATED, CHANGE_CHANGED, CHANGE_REMOVED };

struct TrialBox {
    std::string caption;   // UTF-8, as every text here
    std::string text;
};

// A file or folder of drive C: that the run created, changed or removed.
struct TrialChange {
    std::string path;   // "C:\..."
    TrialChangeKind change = CHANGE_CREATED;
    bool folder = false;
    uint64_t size = 0;              // a file's, after the run (before it, when removed)
    std::optional<bool> asPacked;   // a packed entry: whether it holds what was packed; none: not one
};

struct TrialShortcut {
    std::string path;   // the .lnk file's
    std::string name;   // its name without ".lnk"
    std::string target;
    std::string workingDirectory;
    std::string icon;
    std::string description;
};

struct TrialStart {
    std::string command;
    std::string directory;
    bool runningAtEnd = false;   // still running when the installer ended (then stopped)
};

struct TrialReport {
    std::optional<int> exitCode;   // none: it did not end in time
    std::vector<TrialBox> boxes;
    std::vector<TrialChange> installed;
    std::vector<TrialShortcut> shortcuts;
    std::vector<TrialStart> started;
    std::optional<std::vector<std::string>> leftAfterRun;   // a temporary run's: what it left
    double seconds = 0;                                     // from the installer's start to its end
    std::vector<std::string> problems;                      // empty: it did what its archive says
    std::string keptFolder;                                 // with --keep: the prefix and the log are there
};

struct TrialRequest {
    std::string installerPath;
    std::string keepFolder;   // empty: the run's folder is removed at the end
    int64_t timeoutSeconds = 120;
    void (*note)(const std::string& message) = nullptr;   // what is worth a line on standard error
};

// None when the installer ran (the report says how it went); else why it
// could not, with *wineProblem set when Wine is missing or cannot run it.
// An interrupt stops Wine and removes the run's folder, then ends the process.
Problem RunTrial(const TrialRequest& request, const CodePage& codePage, TrialReport* report, bool* wineProblem);
