// End-to-end harness: builds archives, appends them to the shipped stub and
// runs the installer under Wine in a fresh scratch directory of the test prefix.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "../common/installer_bytes.h"

typedef std::vector<uint8_t> Bytes;

struct EntrySpec {
    std::string name;
    int32_t sizeCode;   // -2 directory, 0 empty file, >0 file (data.size()), or any raw code
    std::string data;
};

// Entry stream: target, entries, and the end code unless withEnd is false.
Bytes MakeEntryStream(const std::string& target, const std::vector<EntrySpec>& entries, bool withEnd = true);
// Entries as the builder writes them: size code from the data, "x\" names are directories.
EntrySpec FileEntry(const std::string& name, const std::string& data);
EntrySpec DirectoryEntry(const std::string& name);
// Archive header (unpacked size, stored size, CRC-32) followed by the block.
Bytes MakeArchive(const Bytes& entryStream, const Bytes& storedBlock);
Bytes MakeStoredArchive(const Bytes& entryStream);

struct MessageBoxCall {
    std::string caption;
    std::string text;
    uint32_t type;
};

struct InstallerRun {
    int exitCode = -1;
    std::vector<MessageBoxCall> boxes;
    std::string scratch;   // host path of the directory the installer ran in
    std::string log;       // Wine's output
};

std::string WinePrefix();
std::string DriveC();     // host path of the prefix's C: drive
std::string StubPath();   // the shipped dist/sfxstub.exe
Bytes ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
bool Exists(const std::string& path);
// A fresh, empty scratch directory for the test, under C:\e2e.
std::string FreshScratch(const std::string& testName);

// The one failure a run reports: the error box ("Greska" / "Neispravna sfx
// arhiva!", one OK button) and exit code 255.
void ExpectInvalidArchive(const InstallerRun& run);
// A failed installation: the box "Greska" / "Instalacija nije uspjela!" and
// exit code 1, and no other box.
void ExpectInstallFailed(const InstallerRun& run);

// Writes stub + archive as installer.exe into the directory; returns its path.
std::string WriteInstaller(const std::string& directory, const Bytes& archive);
// Writes stub + archive as installer.exe in a fresh scratch directory and runs it there.
InstallerRun RunInstaller(const Bytes& archive, const std::string& testName);
// Runs an installer file that already exists, with the given working directory
// and, when given, Wine's DLL load order (WINEDLLOVERRIDES).
InstallerRun RunInstallerFile(const std::string& installerPath, const std::string& workingDirectory,
                              const std::string& dllOverrides = "");
// Runs dist/sfxpack with the arguments, its output to the log file; its exit code.
int RunPack(const std::vector<std::string>& arguments, const std::string& log);

// The control file as the builder writes it: four lines, CR LF each.
EntrySpec ControlFileEntry(const std::string& program, const std::string& name, const std::string& icon,
                           const std::string& command);
// The probe program (see probe/probe.cpp) at C:\e2e\tools\probe.exe, registered
// as the program that opens .vbs files; its output directory C:\e2e\out emptied.
void PrepareProbe();
std::string ProbeOut();                       // host path of C:\e2e\out
extern const char* const kProbeWindowsPath;   // C:\e2e\tools\probe.exe
// Waits up to the given time for a file to appear; true when it did.
bool WaitForFile(const std::string& path, int milliseconds);
// Holds a file open in another Windows process, letting others only read it,
// for as long as the object lives (the probe must be prepared).
class HeldFile {
  public:
    explicit HeldFile(const std::string& hostPath);
    ~HeldFile();
    bool held() const { return held_; }

  private:
    std::string hostPath_;
    int holder_;
    bool held_;
};
// Host path of the prefix user's Desktop folder.
std::string DesktopDirectory();
// The shell link file as documented: a header, an optional item list, an
// optional location block, then counted strings.
struct ShellLink {
    std::string target, description, workingDirectory, iconLocation;
    int32_t iconIndex = -1;
    uint32_t showCommand = 0;
    uint16_t hotKey = 0xFFFF;
};
ShellLink ReadShellLink(const std::string& path);
// How long a program that the installer starts without waiting may take to
// write its report: generous, since Wine starts slowly on a busy machine.
const int kStartedProgramPatienceMs = 60000;
// Windows path of a host path below the prefix's drive_c (C:\...).
std::string WindowsPath(const std::string& hostPath);
std::vector<std::string> SplitCrLfLines(const std::string& text);
