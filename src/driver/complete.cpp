// How a run ends, as the archive's optional control file says: a desktop
// shortcut and a completion box (shortcut mode), or a program run and
// everything that the run created removed again (temporary-run mode).
#include <string.h>

#include "driver/driver_state.h"
#include "files/channels.h"
#include "files/file_system.h"
#include "process/desktop_shortcut.h"
#include "process/launcher.h"
#include "process/message_box.h"
#include "support/pause.h"
#include "support/system_library.h"

#define COMPLETION_CAPTION "Instalacija gotova!"
#define COMPLETION_NOTICE "sfx (c) 2026, sfx.example.org"

enum { TEMPORARY_RUN_SETTLE_MS = 999 };

// The control file's lines.
static Text Program() { return driver.controlLines[CONTROL_LINE_PROGRAM].text; }
static Text ShortcutName() { return driver.controlLines[CONTROL_LINE_NAME].text; }
static Text IconFile() { return driver.controlLines[CONTROL_LINE_ICON].text; }
static Text Command() { return driver.controlLines[CONTROL_LINE_COMMAND].text; }
static Text Target() { return driver.targetDirectory.text; }

static int32_t WriteScriptText(Text text) {
    WriteChannelBytes(FILE_CHANNEL, text, TextLength(text));
    return TextLength(text);
}

// The seventeen lines of the shortcut script, CR LF each. Values go in as they
// are: the builder refuses ones that would break a line. Nonzero when this run
// created the script and wrote it whole: a file already there that cannot be
// replaced (read-only, or held open) is someone else's.
static int32_t WriteShortcutScript() {
    int32_t created = CreateChannel(FILE_CHANNEL, driver.scriptPath.text);
    // One script line to a source line.
    // clang-format off
    int32_t length =
        WriteScriptText(ConcatText("Option Explicit\r\n"
                                   "Dim objShell, objDesktop, objLink\r\n"
                                   "Dim strAppPath, strWorkDir, strIconPath\r\n"
                                   "strWorkDir =\"", Target(), "\"\r\n"
                                   "strAppPath = \"", Program(), "\"\r\n"
                                   "strIconPath = \"", IconFile())) +
        WriteScriptText(ConcatText(",0\"\r\n"
                                   "Set objShell = CreateObject(\"WScript.Shell\")\r\n"
                                   "objDesktop = objShell.SpecialFolders(\"Desktop\")\r\n"
                                   "Set objLink = objShell.CreateShortcut(objDesktop & \"\\", ShortcutName(), ".lnk\")\r\n"
                                   "objLink.Description = \"", ShortcutName(), "\"\r\n"
                                   "objLink.HotKey = \"\"\r\n"
                                   "objLink.IconLocation = strIconPath\r\n"
                                   "objLink.TargetPath = strAppPath\r\n"
                                   "objLink.WindowStyle = 1\r\n"
                                   "objLink.WorkingDirectory = strWorkDir\r\n"
                                   "objLink.Save\r\n"
                                   "WScript.Quit\r\n"));
    // clang-format on
    CloseChannel(FILE_CHANNEL);
    if (!created) return 0;
    if (QueryFileSize(driver.scriptPath.text) == length) return 1;
    RemoveFile(driver.scriptPath.text);   // ours, but cut short
    return 0;
}

// The script where the system can still run one, then the same shortcut
// written directly, which works where the script host is gone or disabled.
static void MakeShortcut() {
    AssignText(&driver.scriptPath, ConcatText(Target(), SHORTCUT_SCRIPT_NAME));
    if (SystemLibraryExists("vbscript.dll") && WriteShortcutScript()) {
        LaunchProgram(driver.scriptPath.text, "", "", LAUNCH_WAIT);   // a document: the shell runs it
        RemoveFile(driver.scriptPath.text);
    }
    SaveDesktopShortcut(ShortcutName(), Program(), Target(), IconFile(), ShortcutName());
    ShowModalMessage(COMPLETION_CAPTION, COMPLETION_NOTICE);
    if (!TextEquals(Command(), "")) LaunchProgram(Command(), "", Target(), 0);
}

// A path below the target: the target's text, then a name as an entry may
// have. The list may hold other lines, added by the program that ran.
static int32_t IsUnderTarget(Text path) {
    int32_t length = TextLength(Target());
    return TextLength(path) > length && memcmp(path, Target(), (size_t)length) == 0 && IsSafeEntryName(path + length);
}

// Where the links on a path below the target are looked for: from the
// target's own last component when this run made the target, else below it.
static int32_t FirstOwnComponent() { return TextLength(Target()) - driver.createdTarget; }

// Removes a file, or a directory's files and then the directory if it is
// empty, unless a link has taken its place or leads to it: then only the link
// goes, or nothing.
static void RemoveCreated(Text path) {
    int32_t link = FindLinkOnPath(path, FirstOwnComponent());
    if (link == PATH_IS_LINK) RemoveLink(path);
    if (link != PATH_HAS_NO_LINK) return;
    int32_t kind = (int32_t)QueryFileSize(path);   // low 32 bits only
    if (kind == FILE_SIZE_DIRECTORY) PurgeDirectory(path, "");
    else if (kind >= 0) RemoveFile(path);
}

// Removes what the extraction list names under the target, in extraction
// order: files, and directories emptied of their files (sub-directories are
// not entered).
static void RemoveListedEntries() {
    // An unopened list would read as endless empty lines: only walk an open one.
    if (!OpenChannelForUpdate(LIST_CHANNEL, driver.listPath.text)) return;
    while (ChannelAtEnd(LIST_CHANNEL) == 0) {
        Text path = TrimTextRight(TrimTextLeft(ReadChannelLine(LIST_CHANNEL)));
        if (IsUnderTarget(path)) RemoveCreated(path);
    }
    CloseChannel(LIST_CHANNEL);
}

static void RunTemporarily() {
    LaunchProgram(Command(), "", "", LAUNCH_WAIT);
    PauseMilliseconds(TEMPORARY_RUN_SETTLE_MS);
    RemoveListedEntries();
    if (driver.createdTarget) RemoveCreated(Target());   // so never the current directory
}

static void ReadControlFile() {
    OpenChannelForUpdate(FILE_CHANNEL, driver.controlFilePath.text);
    for (TextVar& line : driver.controlLines) AssignText(&line, TrimTextLeft(ReadChannelLine(FILE_CHANNEL)));
    CloseChannel(FILE_CHANNEL);
    RemoveFile(driver.controlFilePath.text);
    AssignText(&driver.controlLines[CONTROL_LINE_PROGRAM], TrimTextRight(Program()));
}

void CompleteInstallation() {
    AssignText(&driver.controlFilePath, ConcatText(Target(), CONTROL_FILE_NAME));
    if (ControlFileIsRead(driver.controlFileSize)) {
        ReadControlFile();
        if (ControlFileRunsTemporarily(Program())) RunTemporarily();
        else MakeShortcut();
    }
    RemoveFile(driver.listPath.text);
    NormalExit();
}
