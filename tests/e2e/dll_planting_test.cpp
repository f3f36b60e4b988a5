// Windows looks for a DLL that is no KnownDLL in a program's own folder first.
// DLLs planted beside the installer under the names of those it uses (see
// planted/planted_dll.cpp) must never run, in any mode, and the installation
// must still succeed. Wine takes a DLL from there only when told to load it
// native first, as Windows always does for these.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness.h"

namespace fs = std::filesystem;

static const char* const kPlantedDlls[] = {"winmm.dll", "comctl32.dll"};

TEST(DllPlanting, DllsBesideTheInstallerNeverRunInAnyMode) {
    PrepareProbe();
    const std::string probe = std::string("\"") + kProbeWindowsPath + "\" report C:\\e2e\\out\\run.txt";
    struct Mode {
        const char* name;
        std::vector<EntrySpec> control;
    } modes[] = {{"no_control_file", {}},
                 {"shortcut", {ControlFileEntry("C:\\app.exe", "Planted", "", "")}},
                 {"temporary_run", {ControlFileEntry("", "", "", probe)}}};
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.name);
        PrepareProbe();
        std::string scratch = FreshScratch(std::string("planted_") + mode.name);
        for (const char* dll : kPlantedDlls) fs::copy_file(std::string(SFX_PLANTED_DIR "/") + dll, scratch + "/" + dll);
        std::vector<EntrySpec> entries = {FileEntry("a.txt", "a")};
        entries.insert(entries.end(), mode.control.begin(), mode.control.end());
        Bytes archive = MakeStoredArchive(MakeEntryStream(WindowsPath(scratch) + "\\app\\", entries));
        InstallerRun run = RunInstallerFile(WriteInstaller(scratch, archive), scratch, "winmm,comctl32=n,b");

        // The marker's name is the DLL's as the loader spelled it, in any case.
        for (const fs::directory_entry& file : fs::directory_iterator(scratch))
            EXPECT_NE(file.path().extension(), ".ran") << file.path() << " ran in " << ReadFileText(file.path());
        EXPECT_EQ(run.exitCode, 0) << run.log;
        std::string modeName = mode.name;
        if (modeName == "no_control_file") {
            EXPECT_TRUE(run.boxes.empty());
            EXPECT_EQ(ReadFileText(scratch + "/app/a.txt"), "a");
        } else if (modeName == "shortcut") {
            ASSERT_EQ(run.boxes.size(), 1u) << run.log;
            EXPECT_EQ(run.boxes[0].caption, "Instalacija gotova!");
        } else {
            EXPECT_TRUE(Exists(ProbeOut() + "/run.txt"));
            EXPECT_FALSE(Exists(scratch + "/app"));
        }
    }
}
