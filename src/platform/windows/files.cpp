// Files and directories on Windows, through the wide functions.
#include "platform/windows/system.h"

#include <vector>

#include "platform/platform.h"
#include "platform/windows/wide_text.h"

// ERROR_STOPPED_ON_SYMLINK, which MinGW's headers lack.
static const DWORD STOPPED_ON_SYMLINK = 681;

static HANDLE Handle(const OpenFile& file) { return (HANDLE)file.handle; }

// Every sharing: reading a file another program has open for writing works as on Linux.
static const DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.parts[0] == b.parts[0] && a.parts[1] == b.parts[1] && a.parts[2] == b.parts[2];
}

// Symbolic links and junctions name another file; other reparse points (cloud
// placeholders, deduplicated files) stand for their own content.
static bool IsLink(HANDLE handle, DWORD attributes) {
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag))) return true;
    return IsReparseTagNameSurrogate(tag.ReparseTag);
}

// A file time counts 100-nanosecond steps from 1601.
static int64_t NanosecondsSince1970(FILETIME time) {
    const int64_t STEPS_TO_1970 = 116444736000000000;
    return (((int64_t)time.dwHighDateTime << 32 | time.dwLowDateTime) - STEPS_TO_1970) * 100;
}

static Problem FillStatus(HANDLE handle, bool linksAsLinks, FileStatus* status) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return LastErrorText();
    *status = FileStatus();
    bool isDirectory = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (linksAsLinks && IsLink(handle, info.dwFileAttributes)) status->kind = FILE_KIND_LINK;
    else if (isDirectory) status->kind = FILE_KIND_DIRECTORY;
    else if (GetFileType(handle) == FILE_TYPE_DISK) status->kind = FILE_KIND_REGULAR;
    status->size = isDirectory ? 0 : (uint64_t)info.nFileSizeHigh << 32 | info.nFileSizeLow;
    status->identity.parts[0] = info.dwVolumeSerialNumber;
    status->identity.parts[1] = (uint64_t)info.nFileIndexHigh << 32 | info.nFileIndexLow;
    status->modified = NanosecondsSince1970(info.ftLastWriteTime);
    return {};
}

// A handle that reads nothing but the file's attributes, for directories too.
static HANDLE OpenForStatus(const std::string& path, bool followLinks) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES, SHARE_ALL, nullptr, OPEN_EXISTING, flags, nullptr);
}

// For a file this process may not open: what its directory's entry says,
// without an identity. Windows lets whoever may list a directory read its
// entries' attributes; Wine needs the file opened for that.
static Problem StatusFromEntry(const std::string& path, bool followLinks, FileStatus* status) {
    WIN32_FILE_ATTRIBUTE_DATA entry;
    if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &entry)) return LastErrorText();
    *status = FileStatus();
    bool isDirectory = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (!followLinks && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) status->kind = FILE_KIND_LINK;
    else status->kind = isDirectory ? FILE_KIND_DIRECTORY : FILE_KIND_REGULAR;
    status->size = isDirectory ? 0 : (uint64_t)entry.nFileSizeHigh << 32 | entry.nFileSizeLow;
    status->modified = NanosecondsSince1970(entry.ftLastWriteTime);
    return {};
}

Problem QueryFileStatus(const std::string& path, bool followLinks, FileStatus* status) {
    HANDLE handle = OpenForStatus(path, followLinks);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        return StatusFromEntry(path, followLinks, status);
    if (handle == INVALID_HANDLE_VALUE) return LastErrorText();
    BY_HANDLE_FILE_INFORMATION info;
    bool otherReparsePoint = !followLinks && GetFileInformationByHandle(handle, &info) &&
                             (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                             !IsLink(handle, info.dwFileAttributes);
    if (otherReparsePoint) {   // not a link: look at what it stands for
        CloseHandle(handle);
        handle = OpenForStatus(path, true);
        if (handle == INVALID_HANDLE_VALUE) return LastErrorText();
    }
    Problem problem = FillStatus(handle, !followLinks, status);
    CloseHandle(handle);
    return problem;
}

static bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

Problem ListDirectory(const std::string& path, std::vector<std::string>* names) {
    std::wstring pattern = WidePath(path + (EndsWithSeparator(path) ? "*" : "\\*"));
    WIN32_FIND_DATAW item;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &item, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return {};   // a drive's empty root has no "." either
        return "cannot open the directory: " + LastErrorText();
    }
    do {
        std::wstring name = item.cFileName;
        if (name != L"." && name != L"..") names->push_back(Utf8Text(name));
    } while (FindNextFileW(search, &item));
    DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) return "cannot read the directory: " + SystemErrorText(error);
    return {};
}

Problem CreateNewDirectory(const std::string& path) {
    return CreateDirectoryW(WidePath(path).c_str(), nullptr) ? Problem() : LastErrorText();
}

Problem RenameFile(const std::string& from, const std::string& to) {
    DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), flags) ? Problem() : LastErrorText();
}

void RemoveFileIfPresent(const std::string& path) { DeleteFileW(WidePath(path).c_str()); }

Problem RemoveEmptyDirectory(const std::string& path) {
    return RemoveDirectoryW(WidePath(path).c_str()) ? Problem() : LastErrorText();
}

Problem MakeHardLink(const std::string& existing, const std::string& link) {
    return CreateHardLinkW(WidePath(link).c_str(), WidePath(existing).c_str(), nullptr) ? Problem() : LastErrorText();
}

// Without administrator rights only where developer mode allows it.
Problem MakeSymbolicLink(const std::string& target, const std::string& link) {
    const DWORD ALLOW_UNPRIVILEGED_CREATE = 2;   // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    std::wstring wideTarget = WideText(target);
    for (wchar_t& c : wideTarget) c = c == L'/' ? L'\\' : c;
    FileStatus status;
    bool directory =
        !QueryFileStatus(JoinPath(ParentDirectory(link), target), true, &status) && status.kind == FILE_KIND_DIRECTORY;
    DWORD flags = ALLOW_UNPRIVILEGED_CREATE | (directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    return CreateSymbolicLinkW(WidePath(link).c_str(), wideTarget.c_str(), flags) ? Problem() : LastErrorText();
}

Problem MakeReadOnly(const std::string& path) {
    std::wstring wide = WidePath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastErrorText();
    return SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_READONLY) ? Problem() : LastErrorText();
}

Problem FlushToDisk(const std::string& path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, SHARE_ALL, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastErrorText();
    Problem problem = FlushFileBuffers(handle) ? Problem() : LastErrorText();
    CloseHandle(handle);
    return problem;
}

// Everything up to the last separator, keeping a drive's or a share's root.
std::string ParentDirectory(const std::string& path) {
    std::string rest = path;
    size_t root = 0;   // the length of "C:", "C:\", "\", "\\server\share\"
    if (rest.size() >= 2 && rest[1] == ':') root = 2;
    if (rest.size() >= 2 && (rest[0] == '\\' || rest[0] == '/') && (rest[1] == '\\' || rest[1] == '/')) {
        size_t server = rest.find_first_of("\\/", 2);
        size_t share = server == std::string::npos ? server : rest.find_first_of("\\/", server + 1);
        root = share == std::string::npos ? rest.size() : share;
    }
    if (root < rest.size() && (rest[root] == '\\' || rest[root] == '/')) ++root;
    while (rest.size() > root && EndsWithSeparator(rest)) rest.pop_back();
    size_t last = rest.find_last_of("\\/");
    if (last == std::string::npos || last < root) return root ? rest.substr(0, root) : ".";
    while (last > root && (rest[last - 1] == '\\' || rest[last - 1] == '/')) --last;
    return rest.substr(0, last > root ? last : root);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    std::string joined = directory;
    if (!joined.empty() && !EndsWithSeparator(joined)) joined += '\\';
    for (char c : name) joined += c == '/' ? '\\' : c;
    return joined;
}

std::string AbsolutePath(const std::string& path) {
    std::wstring wide = WideText(path);
    DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::vector<wchar_t> full(size + 1, 0);
    DWORD length = size ? GetFullPathNameW(wide.c_str(), size + 1, full.data(), nullptr) : 0;
    return length ? Utf8Text(full.data(), length) : path;
}

std::string OwnExecutablePath() {
    std::vector<wchar_t> self(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, self.data(), (DWORD)self.size());
        if (length == 0) return "";
        if (length < self.size()) return Utf8Text(self.data(), length);
        self.resize(self.size() * 2);
    }
}

// Directories open too (as on POSIX), so that the caller can tell "is a directory".
Problem OpenFileForReading(const std::string& path, OpenFile* file) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    file->handle = (intptr_t)handle;
    return handle == INVALID_HANDLE_VALUE ? LastErrorText() : Problem();
}

Problem CreateFileForWriting(const std::string& path, OpenFile* file) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    file->handle = (intptr_t)handle;
    if (handle == INVALID_HANDLE_VALUE) return LastErrorText();
    BY_HANDLE_FILE_INFORMATION info;
    Problem problem;
    if (!GetFileInformationByHandle(handle, &info)) problem = LastErrorText();
    else if (IsLink(handle, info.dwFileAttributes)) problem = SystemErrorText(STOPPED_ON_SYMLINK);
    else if (!SetEndOfFile(handle)) problem = LastErrorText();
    if (!problem) return {};
    (void)CloseFile(file);   // nothing was written to it
    return problem;
}

// Only this process can open the file while it is being written (no sharing
// but deletion, so that an interrupt can still remove it); once closed, it has
// the permissions its directory gives new files.
Problem CreateUniqueFile(const std::string& prefix, std::string* path, OpenFile* file) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    uint64_t seed = (uint64_t)now.QuadPart ^ (uint64_t)GetCurrentProcessId() << 32;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = prefix;
        for (int index = 0; index < 6; ++index) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            candidate += letters[(seed >> 33) % (sizeof(letters) - 1)];
        }
        HANDLE handle = CreateFileW(WidePath(candidate).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            file->handle = (intptr_t)handle;
            *path = candidate;
            return {};
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return LastErrorText();
    }
    return SystemErrorText(ERROR_FILE_EXISTS);
}

Problem QueryOpenFileStatus(const OpenFile& file, FileStatus* status) {
    return FillStatus(Handle(file), false, status);
}

Problem ReadFromFile(OpenFile* file, uint8_t* buffer, size_t size, size_t* got) {
    DWORD read = 0;
    DWORD want = size > (1u << 30) ? (1u << 30) : (DWORD)size;
    if (!ReadFile(Handle(*file), buffer, want, &read, nullptr)) return LastErrorText();
    *got = read;
    return {};
}

Problem WriteToFile(OpenFile* file, const uint8_t* data, size_t size) {
    while (size > 0) {
        DWORD written = 0;
        DWORD chunk = size > (1u << 30) ? (1u << 30) : (DWORD)size;
        if (!WriteFile(Handle(*file), data, chunk, &written, nullptr)) return LastErrorText();
        if (written == 0) return SystemErrorText(ERROR_WRITE_FAULT);
        data += written;
        size -= written;
    }
    return {};
}

Problem GiveUsualPermissions(OpenFile*) { return {}; }

Problem FlushFileToDisk(OpenFile* file) { return FlushFileBuffers(Handle(*file)) ? Problem() : LastErrorText(); }

Problem CloseFile(OpenFile* file) {
    BOOL closed = CloseHandle(Handle(*file));
    file->handle = -1;
    return closed ? Problem() : LastErrorText();
}
