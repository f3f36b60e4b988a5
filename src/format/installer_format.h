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

// A signature may follow the stored block: the certificate table that the
// image's security directory names, starting at most this many bytes after
// the block (signing tools align it to 8) and running exactly to the end of
// the file. Nothing else may follow.
enum { CERTIFICATE_TABLE_MAX_PADDING = 7 };

// The entry stream: the target directory (NUL-terminated), then entries of a
// signed 32-bit size code, a NUL-terminated name and, for a file, its bytes.
enum {
    SIZE_CODE_END = -1,         // ends the stream; what follows is never read
    SIZE_CODE_DIRECTORY = -2,   // codes from 0 up are files of that size
};

static inline int IsEntryNameSeparator(char c) { return c == '\\' || c == '/'; }

// The installer's rule for entry names: they stay below the target directory
// and name what they say: no root, no drive, no stream, and no component that
// ends in a dot or a space. Windows drops those, so ".", "..", "sub\.. " and
// "a. " would name the target, its parent or another file. A missing name is
// the empty one, which is safe.
static inline int IsSafeEntryName(const char* name) {
    if (!name) return 1;
    if (IsEntryNameSeparator(name[0])) return 0;
    for (const char* at = name; *at; ++at) {
        if (*at == ':') return 0;
        if ((*at == '.' || *at == ' ') && (!at[1] || IsEntryNameSeparator(at[1]))) return 0;
    }
    return 1;
}

// The files the installer reads and writes: the control file, an entry at the
// top of the target directory; and the list of every path it extracted.
#define CONTROL_FILE_NAME "$$$.$$$"
#define EXTRACTION_LIST_PATH "c:\\raspakiraj.lst"

// How a run ends, for the user and for a program that started it: at most one
// message box (one OK button), then the exit code. A finished installation
// shows the completion box only in shortcut mode.
#define COMPLETION_CAPTION "Instalacija gotova!"
#define ERROR_CAPTION "Greska"
#define INVALID_ARCHIVE_TEXT "Neispravna sfx arhiva!"
#define INSTALL_FAILED_TEXT "Instalacija nije uspjela!"
enum { EXIT_COMPLETED = 0, EXIT_INSTALL_FAILED = 1, EXIT_INVALID_ARCHIVE = 255 };

// The control file's lines, in order; each is read without its leading
// spaces, the program's also without its trailing ones.
enum {
    CONTROL_LINE_PROGRAM,   // the shortcut's target; empty chooses the temporary run
    CONTROL_LINE_NAME,      // the shortcut's file name without ".lnk", and its description
    CONTROL_LINE_ICON,      // the file holding the shortcut's icon
    CONTROL_LINE_COMMAND,   // started at the end: after the shortcut, or as the temporary run
    CONTROL_LINE_COUNT,
};

// The lines are read only when the file holds more than one byte.
static inline int ControlFileIsRead(int64_t size) { return size > 1; }

// The program's line, trimmed, chooses how the installation ends: empty runs
// the command and then removes what was extracted (temporary run); anything
// else makes a desktop shortcut.
static inline int ControlFileRunsTemporarily(const char* trimmedFirstLine) {
    return !trimmedFirstLine || !trimmedFirstLine[0];
}

// What loading takes: the whole entry stream in one allocation and, for a
// compressed block, the stored block in a second. The image is large-address
// aware, so on 64-bit Windows the two load together up to LOAD_LIMIT_TOTAL
// (measured: a stored 2,147,000,000 bytes loads, 2,147,418,112 does not; the
// limit keeps half a MiB for the heap's own headers). 32-bit Windows leaves
// the process two free blocks of about 540 and 500 MiB (fewer on machines
// with more DLLs mapped in), so there the larger allocation must stay within
// LOAD_LIMIT_32_BIT_LARGEST and both within LOAD_LIMIT_32_BIT_TOTAL.
enum {
    LOAD_LIMIT_TOTAL = 2047 << 20,
    LOAD_LIMIT_32_BIT_LARGEST = 512 << 20,
    LOAD_LIMIT_32_BIT_TOTAL = 960 << 20,
};
