// The builder's services of the operating system, behind this one header: the
// rest of the builder includes no system header beyond the C++ library's, so
// another system needs another implementation (src/platform/posix/ and
// src/platform/windows/) and no change elsewhere. Paths and texts are UTF-8.
// Failures come back as a Problem in the system's own words ("No such file or
// directory"), for the caller's message.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "problem/problem.h"

// ---- Start-up

// Readies the process for a command-line program and returns its arguments
// (without the program's name) in UTF-8. On Windows they come from the wide
// command line, and standard output and error take UTF-8 and LF line ends as
// on Linux.
std::vector<std::string> StartProgram(int argc, char** argv);

// ---- Files and directories

enum FileKind { FILE_KIND_REGULAR, FILE_KIND_DIRECTORY, FILE_KIND_LINK, FILE_KIND_OTHER };

// What makes a file the same file under any of its names (on POSIX its device
// and inode). Compare with SameFile only.
struct FileIdentity {
    uint64_t parts[3] = {0, 0, 0};
};

bool SameFile(const FileIdentity& a, const FileIdentity& b);

struct FileStatus {
    FileKind kind = FILE_KIND_OTHER;
    uint64_t size = 0;
    FileIdentity identity;
    int64_t modified = 0;   // the last write, in nanoseconds since 1970
};

// What path names: a symbolic link itself, or with followLinks what it points to.
Problem QueryFileStatus(const std::string& path, bool followLinks, FileStatus* status);

// The names in the directory, in no particular order, without "." and "..".
// On failure: "cannot open the directory: <why>" or "cannot read the directory: <why>".
Problem ListDirectory(const std::string& path, std::vector<std::string>* names);

Problem CreateNewDirectory(const std::string& path);
// Renames over an existing file of the name.
Problem RenameFile(const std::string& from, const std::string& to);
void RemoveFileIfPresent(const std::string& path);
// Waits until a file that another program wrote is on the disk.
Problem FlushToDisk(const std::string& path);
Problem RemoveEmptyDirectory(const std::string& path);
// A second name for an existing file, on the same file system.
Problem MakeHardLink(const std::string& existing, const std::string& link);
// A symbolic link that holds target as it is (relative to the link's folder unless absolute).
Problem MakeSymbolicLink(const std::string& target, const std::string& link);
// Takes the write permission away, from every user.
Problem MakeReadOnly(const std::string& path);

// The path of the directory holding path (its name without the last part).
std::string ParentDirectory(const std::string& path);
// The path made absolute, from the current directory when it is relative.
std::string AbsolutePath(const std::string& path);
// name (whose parts '/' separates) inside directory, with the system's separator.
std::string JoinPath(const std::string& directory, const std::string& name);

// An open file: the platform's handle, -1 when closed.
struct OpenFile {
    intptr_t handle = -1;
};

Problem OpenFileForReading(const std::string& path, OpenFile* file);
// An existing file is emptied; a symbolic link is refused, not followed.
Problem CreateFileForWriting(const std::string& path, OpenFile* file);
// A new file whose name (filled in path) is prefix and a few characters no
// other file there has. Only its owner may read it until GiveUsualPermissions.
Problem CreateUniqueFile(const std::string& prefix, std::string* path, OpenFile* file);
Problem QueryOpenFileStatus(const OpenFile& file, FileStatus* status);
// Reads up to size bytes; got is 0 at the end of the file.
Problem ReadFromFile(OpenFile* file, uint8_t* buffer, size_t size, size_t* got);
// Writes all size bytes.
Problem WriteToFile(OpenFile* file, const uint8_t* data, size_t size);
// The permissions a new file of the user's gets.
Problem GiveUsualPermissions(OpenFile* file);
Problem FlushFileToDisk(OpenFile* file);
// Closes; the failure is one of writing what was still pending. Closed either way.
Problem CloseFile(OpenFile* file);

// The whole of a regular file; "<path>: <problem>" when it cannot be read or
// is a directory or another kind of file.
Problem ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);

// ---- Interrupts
// An interrupt (Ctrl-C, termination, hang-up) removes the files registered
// here, after killing the program RunTool is running, and then ends the
// process as the interrupt would have.

enum { MAX_FILES_REMOVED_ON_INTERRUPT = 2 };
// The slot of the registration, or -1 when all are taken.
int RemoveOnInterrupt(const std::string& path);
void ForgetOnInterrupt(int slot);   // -1 is ignored
// Between these two, on the thread that calls them, an interrupt waits: a
// file made and registered in between is removed by an interrupt that comes
// after it was made, not left behind. Keep the step short: a few calls.
void DeferInterrupts();
void ResumeInterrupts();

// ---- Interrupts that the caller handles
// From CatchInterrupts on, an interrupt (Ctrl-C, termination, hang-up) only
// marks itself: InterruptCaught says so and WaitForProgram returns early, so
// that the caller can stop what it started and remove what it made; then
// EndAsInterrupted ends the process as the interrupt would have.

void CatchInterrupts();
bool InterruptCaught();
[[noreturn]] void EndAsInterrupted();

// ---- Other programs

// The program's path as found in PATH (or as given, when it is a path of its
// own); empty when there is no such executable.
std::string FindProgram(const std::string& name);
// What a user does to get a missing program ("install the Debian package ...").
std::string HowToInstallProgram(const std::string& name);

struct ToolRun {
    bool started = false;
    int exitCode = -1;    // 128 + the signal when it was killed
    std::string output;   // standard output and standard error, interleaved
};

// Runs the program with the arguments, its input empty and without a
// terminal (so it cannot stop to prompt), and waits for it.
ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments);

// The path of the running program; empty when it cannot be found.
std::string OwnExecutablePath();

// A program started to run beside this one, its output to a file.
struct ProgramStart {
    std::string program;   // found in PATH, as FindProgram does
    std::vector<std::string> arguments;
    std::string directory;                  // where it starts; empty: this program's
    std::vector<std::string> environment;   // changes: "NAME=VALUE" sets, "NAME" removes
    std::string outputPath;                 // standard output and error, appended; input is empty
};

struct RunningProgram {
    intptr_t handle = -1;   // -1: none, or it has ended
};

// Starts the program. It gets no descriptor of this program's but the three
// standard ones, and so holds nothing open that this one waits on.
Problem SpawnProgram(const ProgramStart& start, RunningProgram* program);

enum ProgramState { PROGRAM_ENDED, PROGRAM_RUNNING, PROGRAM_WAIT_INTERRUPTED };

// Waits up to the time (negative: without limit) for the program to end, and
// gives its exit code when it did (128 + the signal when one ended it). An
// interrupt caught (see CatchInterrupts) ends the wait when it is
// interruptible; the clean-up after an interrupt waits through it.
ProgramState WaitForProgram(RunningProgram* program, int64_t milliseconds, bool interruptible, int* exitCode);
// Ends the program at once, if it still runs.
void StopProgram(RunningProgram* program);

// Why this system cannot run Windows programs under Wine (on Windows itself),
// or empty.
Problem WineHostProblem();

// ---- Environment

// The variable's value; none when it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

// ---- Text

// Conversion between UTF-8 and a code page, opened by the code page's name.
struct CodePageConverter;
// Null when the system does not know the code page.
CodePageConverter* OpenCodePageConverter(const std::string& name);
void CloseCodePageConverter(CodePageConverter* converter);   // null is ignored
// None when a character does not convert.
[[nodiscard]] std::optional<std::string> ConvertToCodePage(CodePageConverter* converter, const std::string& utf8);
[[nodiscard]] std::optional<std::string> ConvertFromCodePage(CodePageConverter* converter,
                                                             const std::string& converted);

// The character in upper case, as file names are compared without case.
char32_t UpperCaseCharacter(char32_t character);

// ---- Terminal and memory

bool StandardErrorIsTerminal();
// The width of standard error's terminal in columns: as the terminal says,
// else the COLUMNS environment variable, else 80.
int TerminalColumns();

// ---- Processors

// The processors this process may run on (at least 1): the default of --threads.
uint32_t ProcessorCount();
