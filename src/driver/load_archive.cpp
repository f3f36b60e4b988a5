// Finds the archive at its fixed offset in the installer's own file, reads it
// whole, decodes it when it is compressed and verifies it.
#include "archive/block_decoder.h"
#include "archive/crc32.h"
#include "driver/driver_state.h"
#include "files/channels.h"
#include "files/file_system.h"
#include "support/heap.h"

static void DiscardArchiveAndExit() {
    ReleaseZeroed(driver.entryStream);
    ReleaseZeroed(driver.storedBlock);
    InvalidArchiveExit();
}

// Sizes that no archive in this file can have are refused before anything is
// allocated, so that no read or write can leave a buffer.
static int32_t HeaderFitsFile() {
    int64_t available = ChannelLength(ARCHIVE_CHANNEL) - driver.archiveOffset - ARCHIVE_HEADER_SIZE;
    return driver.unpackedSize > 0 && driver.storedSize >= 0 && driver.storedSize <= available;
}

void LoadArchive() {
    AssignText(&driver.programPath, GetOwnProgramPath());
    OpenChannelForRead(ARCHIVE_CHANNEL, driver.programPath.text);   // a failed open reads as no archive
    SeekChannel(ARCHIVE_CHANNEL, driver.archiveOffset);
    if (ChannelAtEnd(ARCHIVE_CHANNEL) != 0) InvalidArchiveExit();

    driver.unpackedSize = ReadChannelInt32(ARCHIVE_CHANNEL);
    driver.storedSize = ReadChannelInt32(ARCHIVE_CHANNEL);
    driver.expectedCrc = (uint32_t)ReadChannelInt32(ARCHIVE_CHANNEL);
    if (!HeaderFitsFile()) InvalidArchiveExit();

    driver.entryStream = (uint8_t*)AllocateZeroed(driver.unpackedSize);
    if (!driver.entryStream) InvalidArchiveExit();
    if (driver.unpackedSize == driver.storedSize) {
        ReadChannelBytes(ARCHIVE_CHANNEL, driver.entryStream, driver.unpackedSize);
    } else {
        driver.storedBlock = (uint8_t*)AllocateZeroed(driver.storedSize);
        if (!driver.storedBlock) DiscardArchiveAndExit();
        ReadChannelBytes(ARCHIVE_CHANNEL, driver.storedBlock, driver.storedSize);
        uint32_t decoded = DecodeBlock(driver.storedBlock, (uint32_t)driver.storedSize, driver.entryStream,
                                       (uint32_t)driver.unpackedSize);
        if (decoded != (uint32_t)driver.unpackedSize) DiscardArchiveAndExit();
    }
    if (ChannelAtEnd(ARCHIVE_CHANNEL) == 0) InvalidArchiveExit();   // nothing may follow the stored block
    CloseChannel(ARCHIVE_CHANNEL);

    if (Crc32Fingerprint(driver.entryStream, (uint32_t)driver.unpackedSize) != driver.expectedCrc)
        InvalidArchiveExit();
    RemoveFile(driver.listPath.text);   // left by an earlier run
}
