// What the installer's own archive says a run must do, against what the run
// did: the exit code and the box of its mode, every packed entry installed
// with its bytes, the shortcut as the control file says, the command
// started, nothing of the user's removed, nothing left after a temporary run.
#pragma once
#include <string>

#include "pack/installer/installer_reader.h"
#include "pack/trial/relay_trace.h"
#include "pack/trial/tree_snapshot.h"
#include "pack/trial/trial.h"

// Where the run happened.
struct TrialPlaces {
    std::string driveC;        // the host folder of drive C:
    std::string startFolder;   // the installer's folder, "C:\users\NAME\Downloads\"
    std::string desktop;       // the user's desktop, "C:\users\NAME\Desktop"
};

// Adds to the report's problems each way the run differs from what the
// archive says, and fills in asPacked and, for a temporary run, leftAfterRun.
// The report holds the run's exit code, boxes, changes, shortcuts and starts;
// after is drive C: at the end.
void CompareWithArchive(const Installer& installer, const CodePage& codePage, const TrialPlaces& places,
                        const TreeSnapshot& after, TrialReport* report);
