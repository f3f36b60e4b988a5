// Path-level file-system operations. QueryFileSize, MakeDirectory and
// PurgeDirectory work on a copy of at most MAX_PATH (260) characters of their
// path; RemoveFile hands its path to the platform unchanged.
#pragma once
#include <stdint.h>

#include "strings/text.h"

enum {
    FILE_SIZE_MISSING = -1,     // nothing there, null or empty path, or not examinable
    FILE_SIZE_DIRECTORY = -2,   // a directory, a drive root or a share root
};

enum {
    PURGE_RECURSIVE = 1,   // enter sub-directories too
    PURGE_FORCE = 2,       // clear read-only/hidden/system before deleting
};

Text GetOwnProgramPath();
// The same in UTF-16: the ANSI path holds a '?' for each character outside the
// code page and then names no file. Kept until the next call.
const wchar_t* GetOwnProgramWidePath();
int64_t QueryFileSize(Text path);
int32_t MakeDirectory(Text path);
int32_t RemoveFile(Text path);
int32_t PurgeDirectory(Text directory, Text pattern, uint32_t flags = 0);
