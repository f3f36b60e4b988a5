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

// Links (symbolic links, junctions, mount points: reparse points) on a path.
enum {
    PATH_HAS_NO_LINK = 0,
    PATH_IS_LINK = 1,        // its last component is one
    PATH_CROSSES_LINK = 2,   // an earlier component is one: the path leads elsewhere
};

Text GetOwnProgramPath();
// The same in UTF-16: the ANSI path holds a '?' for each character outside the
// code page and then names no file. Kept until the next call.
const wchar_t* GetOwnProgramWidePath();
int64_t QueryFileSize(Text path);
int32_t MakeDirectory(Text path);
int32_t RemoveFile(Text path);
int32_t PurgeDirectory(Text directory, Text pattern, uint32_t flags = 0);
// Looks for links among the components of path that end at or after its
// character `from` (counted from 0), on a working copy like QueryFileSize's.
int32_t FindLinkOnPath(Text path, int32_t from);
// Removes a link itself, never what it points to: nonzero when it went.
int32_t RemoveLink(Text path);
