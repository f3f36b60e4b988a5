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
#include "support/text_workspace.h"

#define COMPLETION_NOTICE "sfx (c) 2026, sfx.example.org"

enum { TEMPORARY_RUN_SETTLE_MS = 999 };

// The control file's lines.
static Text Program() { return driver.controlLines[CONTROL_LINE_PROGRAM].text; }
static Text ShortcutName() { return driver.controlLines[CONTROL_LINE_NAME].text; }
static Text IconFile() { return driver.controlLines[CONTROL_LINE_ICON].text; }
static Text Command() { return driver.controlLines[CONTROL_LINE_COMMAND].text; }
static Text Target() { return driver.targetDirectory.text; }

// The lines come from the archive's own bytes, never from the file on disk,
// which another process could rewrite between its writing and its reading.
// A line ends at CR, LF, CR LF, a zero byte or the end of the file.
void ReadControlFile(const char* at, int32_t size) {
    const char* end = at + size;
    driver.controlFileSize = size;
    for (TextVar& line : driver.controlLines) {
        const char* start = at;
        while (at < end && *at && *at != '\r' && *at != '\n') ++at;
        char* text = NewWorkspaceText((uint32_t)(at - start));
        if (text) memcpy(text, start, (size_t)(at - start));
        AssignText(&line, TrimTextLeft(text));
        if (at < end && *at++ == '\r' && at < end && *at == '\n') ++at;
    }
    AssignText(&driver.controlLines[CONTROL_LINE_PROGRAM], TrimTextRight(Program()));
}

int32_t RunsTemporarily() { return ControlFileIsRead(driver.controlFileSize) && ControlFileRunsTemporarily(Program()); }

// Nonzero when the shortcut was saved: only then the completion box, and the command.
static int32_t MakeShortcut() {
    if (!SaveDesktopShortcut(ShortcutName(), Program(), Target(), IconFile(), ShortcutName())) return 0;
    ShowModalMessage(COMPLETION_CAPTION, COMPLETION_NOTICE);
    if (!TextEquals(Command(), "")) LaunchProgram(Command(), "", Target(), 0);
    return 1;
}

// A path below the target: the target's text, then a name as an entry may
// have. The list may hold other lines, added by the program that ran.
static int32_t IsUnderTarget(Text path) {
    int32_t length = TextLength(Target());
    return TextLength(path) > length && memcmp(path, Target(), (size_t)length) == 0 && IsSafeEntryName(path + length);
}

// Removes a file, or a directory's files and then the directory if it is
// empty, unless a link has taken its place or leads to it: then only the link
// goes, or nothing. The links are looked for from the target's own last
// component on, since this run made the target.
static void RemoveCreated(Text path) {
    int32_t link = FindLinkOnPath(path, TextLength(Target()) - 1);
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

// Nonzero when the command started. What was extracted goes either way.
static int32_t RunTemporarily() {
    int32_t started = LaunchProgram(Command(), "", "", LAUNCH_WAIT) != 0;
    PauseMilliseconds(TEMPORARY_RUN_SETTLE_MS);
    RemoveListedEntries();
    RemoveCreated(Target());
    return started;
}

void CompleteInstallation() {
    int32_t completed = 1;
    if (ControlFileIsRead(driver.controlFileSize)) {
        RemoveFile(ConcatText(Target(), CONTROL_FILE_NAME));
        completed = RunsTemporarily() ? RunTemporarily() : MakeShortcut();
    }
    RemoveFile(driver.listPath.text);
    if (!completed) InstallFailedExit();
    NormalExit();
}
