// Walks the entry stream twice. The first walk writes nothing: it checks the
// whole stream and reads the archive's own control file, so that a damaged
// archive is refused, and the way the installation ends is known, before
// anything is on disk. The second recreates the directories and files under
// the target directory, recording in the extraction list every file and every
// directory that the run creates, and checking that each entry is on disk as
// the archive says.
#include <string.h>

#include "driver/driver_state.h"
#include "files/channels.h"
#include "files/file_system.h"
#include "support/heap.h"
#include "support/pause.h"

static int32_t BytesLeft() { return driver.unpackedSize - driver.readPosition; }
static Text Target() { return driver.targetDirectory.text; }

// Every read stays inside the entry stream: one that would run past its end
// means a damaged archive.
static Text ReadStreamText() {
    const uint8_t* at = driver.entryStream + driver.readPosition;
    if (!memchr(at, 0, (size_t)BytesLeft())) InvalidArchiveExit();
    Text text = ReadTextAt(at);
    driver.readPosition += TextLength(text) + 1;
    return text;
}

static int32_t ReadStreamSizeCode() {
    if (BytesLeft() < 4) InvalidArchiveExit();
    int32_t value = ReadInt32At(driver.entryStream + driver.readPosition);
    driver.readPosition += 4;
    return value;
}

// Creates the missing directories of the target's chain, skipping the part up
// to its first backslash (a drive root is never created).
static void CreateTargetChain() {
    int32_t searchStart = FindInText(Target(), "\\", 1) + 1;
    for (;;) {
        int32_t backslash = FindInText(Target(), "\\", searchStart);
        if (!backslash) break;
        AssignText(&driver.partialPath, LeftOfText(Target(), backslash));
        int32_t created =
            QueryFileSize(driver.partialPath.text) == FILE_SIZE_MISSING && MakeDirectory(driver.partialPath.text);
        searchStart = backslash + 1;
        if (backslash >= TextLength(Target())) {
            driver.createdTarget = created;   // the last level is the target itself
            break;
        }
    }
}

// The list is opened and closed per entry, so every line is on disk as soon as its entry is.
static void AppendToExtractionList(Text path) {
    OpenChannelForUpdate(LIST_CHANNEL, driver.listPath.text);
    SeekChannel(LIST_CHANNEL, ChannelLength(LIST_CHANNEL));
    WriteChannelLine(LIST_CHANNEL, path);
    CloseChannel(LIST_CHANNEL);
}

// A file the run created afresh and wrote whole; anything less fails the
// installation. Whatever had the name goes first, a link itself rather than
// what it leads to, and a hard link only loses this name; the file is then
// made new, so nothing is written through a link that appears meanwhile.
static void WriteFileEntry(Text path, int32_t size) {
    RemoveFile(path);
    int32_t created = CreateNewChannel(FILE_CHANNEL, path);
    WriteChannelBytes(FILE_CHANNEL, driver.entryStream + driver.readPosition, size);
    CloseChannel(FILE_CHANNEL);
    if (!created || QueryFileSize(path) != size) InstallFailedExit();
}

static void WriteEntry() {
    AssignText(&driver.fullPath, ConcatText(Target(), driver.entryName.text));
    Text path = driver.fullPath.text;
    // A link among the entry's folders below the target would take the write elsewhere.
    if (FindLinkOnPath(path, TextLength(Target())) == PATH_CROSSES_LINK) InstallFailedExit();
    int32_t listed = !TextEquals(driver.entryName.text, "");
    if (driver.sizeCode == SIZE_CODE_DIRECTORY) {
        // Listed only when this run makes it: the removal purges listed directories.
        listed = listed && QueryFileSize(path) == FILE_SIZE_MISSING;
        MakeDirectory(path);
        if (QueryFileSize(path) != FILE_SIZE_DIRECTORY) InstallFailedExit();
        PauseMilliseconds(1);
    } else {
        WriteFileEntry(path, driver.sizeCode);
        if (driver.sizeCode > 0) PauseMilliseconds(1);
    }
    if (listed) AppendToExtractionList(path);
}

static void WalkEntries(int32_t write) {
    driver.readPosition = 0;
    AssignText(&driver.targetDirectory, ReadStreamText());
    while (driver.readPosition < driver.unpackedSize) {
        driver.sizeCode = ReadStreamSizeCode();
        if (driver.sizeCode == SIZE_CODE_END) break;
        if (driver.sizeCode < SIZE_CODE_DIRECTORY) InvalidArchiveExit();
        AssignText(&driver.entryName, ReadStreamText());
        if (!IsSafeEntryName(driver.entryName.text) || driver.sizeCode > BytesLeft()) InvalidArchiveExit();
        const char* data = (const char*)driver.entryStream + driver.readPosition;
        if (write) WriteEntry();
        else if (driver.sizeCode >= 0 && TextEquals(driver.entryName.text, CONTROL_FILE_NAME))
            ReadControlFile(data, driver.sizeCode);   // the last of that name is the one on disk
        if (driver.sizeCode > 0) driver.readPosition += driver.sizeCode;
    }
}

void ExtractEntries() {
    WalkEntries(0);
    if (QueryFileSize(Target()) == FILE_SIZE_MISSING && !TextEquals(Target(), ".\\")) CreateTargetChain();
    // A temporary run removes what it wrote afterwards: it writes only into a
    // folder that it has just made, which holds nothing of anyone else's.
    if (RunsTemporarily() && !driver.createdTarget) InstallFailedExit();
    WalkEntries(1);
    ReleaseZeroed(driver.entryStream);
    driver.entryStream = 0;
}
