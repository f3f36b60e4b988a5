#include "files/file_system.h"

#include <string.h>
#include <windows.h>

#include "support/program_module.h"

// Working copy: at most the first MAX_PATH characters; room is left for one
// appended backslash.
typedef char PathBuffer[MAX_PATH + 2];

static size_t MakeWorkingCopy(PathBuffer copy, Text path) {
    strncpy(copy, path, MAX_PATH);
    copy[MAX_PATH] = 0;
    return strlen(copy);
}

// base + name into out; 0 (and nothing written) when it would not fit.
static int32_t JoinPath(PathBuffer out, const char* base, const char* name) {
    size_t baseLength = strlen(base);
    size_t nameLength = strlen(name);
    if (baseLength + nameLength > MAX_PATH + 1) return 0;
    memcpy(out, base, baseLength);
    memcpy(out + baseLength, name, nameLength + 1);
    return 1;
}

static int32_t IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

static int32_t IsDirectory(const WIN32_FIND_DATAA* found) {
    return (found->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Text GetOwnProgramPath() {
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(ProgramModule(), path, MAX_PATH);
    path[length] = 0;
    if (length >= 4 && memcmp(path, "\\\\?\\", 4) == 0) return ReadTextAt(path + 4);
    return ReadTextAt(path);
}

const wchar_t* GetOwnProgramWidePath() {
    static WCHAR path[UNICODE_STRING_MAX_CHARS + 1];   // zero-filled memory, not file bytes
    path[GetModuleFileNameW(ProgramModule(), path, UNICODE_STRING_MAX_CHARS)] = 0;
    return path;
}

int64_t QueryFileSize(Text path) {
    if (!path || !*path) return FILE_SIZE_MISSING;
    PathBuffer copy;
    size_t length = MakeWorkingCopy(copy, path);
    if ((length == 2 || length == 3) && copy[1] == ':') {
        // A drive root cannot be found by a search: ask whether the drive exists.
        if (length == 2) {
            copy[2] = '\\';
            copy[3] = 0;
        }
        return GetDriveTypeA(copy) > DRIVE_NO_ROOT_DIR ? FILE_SIZE_DIRECTORY : FILE_SIZE_MISSING;
    }
    while (length > 0 && copy[length - 1] == '\\') copy[--length] = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(copy, &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        if (IsDirectory(&found)) return FILE_SIZE_DIRECTORY;
        return (int64_t)((uint64_t)found.nFileSizeHigh << 32 | found.nFileSizeLow);
    }
    if (copy[0] == '\\' && copy[1] == '\\') {
        // Neither can a share root; its attributes can still be read.
        DWORD attributes = GetFileAttributesA(copy);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return FILE_SIZE_DIRECTORY;
    }
    return FILE_SIZE_MISSING;
}

int32_t MakeDirectory(Text path) {
    if (!path) return 0;
    PathBuffer copy;
    size_t length = MakeWorkingCopy(copy, path);
    while (length > 0 && (copy[length - 1] == ' ' || copy[length - 1] == '\\' || copy[length - 1] == '/'))
        copy[--length] = 0;
    return CreateDirectoryA(copy, 0) != 0;
}

int32_t RemoveFile(Text path) {
    if (!path) return 0;
    return DeleteFileA(path) != 0;
}

int32_t PurgeDirectory(Text directory, Text pattern, uint32_t flags) {
    if (!directory || !*directory) return 0;
    PathBuffer base;
    size_t baseLength = MakeWorkingCopy(base, directory);
    if (base[baseLength - 1] != '\\') {
        base[baseLength] = '\\';
        base[baseLength + 1] = 0;
    }
    int32_t wholeDirectory = !pattern || !*pattern || strcmp(pattern, "*.*") == 0;
    if (wholeDirectory) pattern = "*.*";

    PathBuffer path;
    WIN32_FIND_DATAA found;
    HANDLE search;
    if (!wholeDirectory && (flags & PURGE_RECURSIVE) && JoinPath(path, base, "*.*")) {
        // Pattern mode: every sub-directory is purged before this directory's files.
        search = FindFirstFileA(path, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (IsDirectory(&found) && !IsDotEntry(found.cFileName) && JoinPath(path, base, found.cFileName))
                    PurgeDirectory(path, pattern, flags);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }

    if (!JoinPath(path, base, pattern)) return 0;
    search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!JoinPath(path, base, found.cFileName)) continue;   // a name too long to reach is skipped
        if (!IsDirectory(&found)) {
            if (flags & PURGE_FORCE) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path);
        } else if (wholeDirectory && (flags & PURGE_RECURSIVE) && !IsDotEntry(found.cFileName)) {
            PurgeDirectory(path, "*.*", flags);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    if (flags & PURGE_FORCE) SetFileAttributesA(base, FILE_ATTRIBUTE_NORMAL);
    return wholeDirectory ? RemoveDirectoryA(base) != 0 : 1;
}

static int32_t IsLink(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int32_t FindLinkOnPath(Text path, int32_t from) {
    if (!path) return PATH_HAS_NO_LINK;
    PathBuffer copy;
    size_t length = MakeWorkingCopy(copy, path);
    int32_t found = PATH_HAS_NO_LINK;
    for (size_t at = (size_t)from; at <= length; ++at) {
        char ending = copy[at];
        // A component ends at a backslash or at the end, and is not empty.
        if ((ending && ending != '\\') || !at || copy[at - 1] == '\\') continue;
        if (found) return PATH_CROSSES_LINK;
        copy[at] = 0;
        found = IsLink(copy);
        copy[at] = ending;
    }
    return found;
}

int32_t RemoveLink(Text path) {
    if (!path) return 0;
    PathBuffer copy;
    size_t length = MakeWorkingCopy(copy, path);
    while (length > 0 && copy[length - 1] == '\\') copy[--length] = 0;
    // A directory link goes with RemoveDirectory, a file link with DeleteFile;
    // neither touches the link's target.
    return RemoveDirectoryA(copy) || DeleteFileA(copy);
}
