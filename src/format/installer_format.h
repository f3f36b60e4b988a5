// The installer file as the stub reads it and the builder writes it: the
// stub's image, exactly ARCHIVE_OFFSET bytes, then the archive (its header and
// the stored block, which holds the entry stream as it is or compressed), and
// at most a signature's certificate table after it. Compiled into the stub:
// C-style, nothing beyond <stdint.h>.
#pragma once
#include <stdint.h>

enum {
    ARCHIVE_OFFSET = 11264,   // the stub's exact size, where the archive starts
    // The header: three signed 32-bit values.
    ARCHIVE_HEADER_SIZE = 12,
    ARCHIVE_UNPACKED_SIZE_FIELD = 0,   // the entry stream's size
    ARCHIVE_STORED_SIZE_FIELD = 4,     // the stored block's; equal to the unpacked size: stored as it is
    ARCHIVE_CRC_FIELD = 8,             // CRC-32 of the entry stream
    ARCHIVE_MAX_SIZE = 0x7FFFFFFF,     // the largest size a header can hold
};

// The entry stream: the target directory (NUL-terminated), then entries of a
// signed 32-bit size code, a NUL-terminated name and, for a file, its bytes.
enum {
    SIZE_CODE_END = -1,         // ends the stream; what follows is never read
    SIZE_CODE_DIRECTORY = -2,   // codes from 0 up are files of that size
};

// The files the installer reads and writes: the control file, an entry at the
// top of the target directory; the shortcut script it writes there; and the
// list of every path it extracted.
#define CONTROL_FILE_NAME "$$$.$$$"
#define SHORTCUT_SCRIPT_NAME "$$$ikona.vbs"
#define EXTRACTION_LIST_PATH "c:\\raspakiraj.lst"

// The control file's four lines (program, shortcut name, icon file, command)
// are read only when the file holds more than one byte.
static inline int ControlFileIsRead(int64_t size) { return size > 1; }

// Its first line, without leading and trailing spaces, chooses how the
// installation ends: empty runs the command of line 4 and then removes what
// was extracted (temporary run); anything else makes a desktop shortcut.
static inline int ControlFileRunsTemporarily(const char* trimmedFirstLine) {
    return !trimmedFirstLine || !trimmedFirstLine[0];
}
