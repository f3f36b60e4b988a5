// Walks the entry stream and recreates its directories and files under the
// target directory, recording in the extraction list every file and every
// directory that the run creates, and checking that each entry is on disk as
// the archive says.
#include <string.h>

#include "driver/driver_state.h"
#include "files/channels.h"
#include "files/file_system.h"
#include "support/heap.h"
#include "support/pause.h"

static int32_t BytesLeft() { return driver.unpackedSize - driver.readPosition; }

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
    Text target = driver.targetDirectory.text;
    int32_t searchStart = FindInText(target, "\\", 1) + 1;
    for (;;) {
        int32_t backslash = FindInText(target, "\\", searchStart);
        if (!backslash) break;
        AssignText(&driver.partialPath, LeftOfText(target, backslash));
        int32_t created =
            QueryFileSize(driver.partialPath.text) == FILE_SIZE_MISSING && MakeDirectory(driver.partialPath.text);
        searchStart = backslash + 1;
        if (backslash >= TextLength(target)) {
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

// A file the run created and wrote whole; anything less fails the installation.
static void WriteFileEntry(Text path, int32_t size) {
    if (size > BytesLeft()) InvalidArchiveExit();
    int32_t created = CreateChannel(FILE_CHANNEL, path);   // truncates an existing file
    WriteChannelBytes(FILE_CHANNEL, driver.entryStream + driver.readPosition, size);
    CloseChannel(FILE_CHANNEL);
    driver.readPosition += size;
    if (!created || QueryFileSize(path) != size) InstallFailedExit();
    // Only the control file of the archive is obeyed, never one lying in the target.
    if (TextEquals(driver.entryName.text, CONTROL_FILE_NAME)) driver.controlFileSize = size;
}

void ExtractEntries() {
    driver.readPosition = 0;
    AssignText(&driver.targetDirectory, ReadStreamText());
    if (QueryFileSize(driver.targetDirectory.text) == FILE_SIZE_MISSING &&
        !TextEquals(driver.targetDirectory.text, ".\\"))
        CreateTargetChain();

    while (driver.readPosition < driver.unpackedSize) {
        driver.sizeCode = ReadStreamSizeCode();
        if (driver.sizeCode == SIZE_CODE_END) break;
        if (driver.sizeCode < SIZE_CODE_DIRECTORY) InvalidArchiveExit();
        AssignText(&driver.entryName, ReadStreamText());
        if (!IsSafeEntryName(driver.entryName.text)) InvalidArchiveExit();
        AssignText(&driver.fullPath, ConcatText(driver.targetDirectory.text, driver.entryName.text));

        int32_t listed = !TextEquals(driver.entryName.text, "");
        if (driver.sizeCode == SIZE_CODE_DIRECTORY) {
            // Listed only when this run makes it: the removal purges listed directories.
            listed = listed && QueryFileSize(driver.fullPath.text) == FILE_SIZE_MISSING;
            MakeDirectory(driver.fullPath.text);
            if (QueryFileSize(driver.fullPath.text) != FILE_SIZE_DIRECTORY) InstallFailedExit();
            PauseMilliseconds(1);
        } else {
            WriteFileEntry(driver.fullPath.text, driver.sizeCode);
            if (driver.sizeCode > 0) PauseMilliseconds(1);
        }
        if (listed) AppendToExtractionList(driver.fullPath.text);
    }
    ReleaseZeroed(driver.entryStream);
    driver.entryStream = 0;
}
