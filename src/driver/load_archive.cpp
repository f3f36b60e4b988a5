// Finds the archive at its fixed offset in the installer's own file, reads it
// whole, decodes it when it is compressed and verifies it.
#include "archive/block_decoder.h"
#include "archive/crc32.h"
#include "driver/driver_state.h"
#include "files/channels.h"
#include "files/file_system.h"
#include "support/heap.h"
#include "support/program_module.h"

#include <windows.h>

static void DiscardArchiveAndExit() {
    ReleaseZeroed(driver.entryStream);
    ReleaseZeroed(driver.storedBlock);
    InvalidArchiveExit();
}

// A signature may follow the archive: the certificate table that the image's
// security directory names, close after the stored block and ending the file.
static int32_t OnlySignatureFollows(uint32_t archiveEnd, uint32_t fileEnd) {
    const uint8_t* image = (const uint8_t*)ProgramModule();
    const IMAGE_NT_HEADERS32* headers = (const IMAGE_NT_HEADERS32*)(image + ((const IMAGE_DOS_HEADER*)image)->e_lfanew);
    const IMAGE_DATA_DIRECTORY* table = &headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
    uint32_t start = table->VirtualAddress;   // a file offset, for this entry
    return table->Size && start - archiveEnd <= CERTIFICATE_TABLE_MAX_PADDING && start + table->Size == fileEnd;
}

void LoadOwnArchive() {
    // A failed open reads as no archive.
    OpenChannelForReadWide(ARCHIVE_CHANNEL, GetOwnProgramWidePath());
    SeekChannel(ARCHIVE_CHANNEL, driver.archiveOffset);
    if (ChannelAtEnd(ARCHIVE_CHANNEL) != 0) InvalidArchiveExit();

    // The header's fields, read one after another (cheaper in the image than
    // by offset from a buffer): a format that moved them stops this build
    // rather than be misread.
    static_assert(ARCHIVE_UNPACKED_SIZE_FIELD == 0 && ARCHIVE_STORED_SIZE_FIELD == 4 && ARCHIVE_CRC_FIELD == 8 &&
                      ARCHIVE_HEADER_SIZE == 12,
                  "the archive header is the unpacked size, the stored size and the CRC-32, in that order");
    driver.unpackedSize = ReadChannelInt32(ARCHIVE_CHANNEL);
    driver.storedSize = ReadChannelInt32(ARCHIVE_CHANNEL);
    driver.expectedCrc = (uint32_t)ReadChannelInt32(ARCHIVE_CHANNEL);
    // Sizes that no archive in this file can have are refused before anything
    // is allocated, so that no read or write can leave a buffer. 32 bits
    // suffice: the header's sizes are signed 32-bit values.
    uint32_t archiveStart = (uint32_t)driver.archiveOffset + ARCHIVE_HEADER_SIZE;
    uint32_t fileEnd = (uint32_t)ChannelLength(ARCHIVE_CHANNEL);
    int32_t available = (int32_t)(fileEnd - archiveStart);
    if (driver.unpackedSize <= 0 || driver.storedSize < 0 || driver.storedSize > available) InvalidArchiveExit();

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
    // Nothing may follow the stored block, unless it is a signature.
    uint32_t archiveEnd = archiveStart + (uint32_t)driver.storedSize;
    if (archiveEnd != fileEnd && !OnlySignatureFollows(archiveEnd, fileEnd)) InvalidArchiveExit();
    CloseChannel(ARCHIVE_CHANNEL);

    if (Crc32Fingerprint(driver.entryStream, (uint32_t)driver.unpackedSize) != driver.expectedCrc) InvalidArchiveExit();
    RemoveFile(driver.listPath.text);   // left by an earlier run
}
