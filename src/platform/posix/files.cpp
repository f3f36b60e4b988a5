// Files and directories on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

static std::string ErrnoText() { return strerror(errno); }

static int Descriptor(const OpenFile& file) { return (int)file.handle; }

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.parts[0] == b.parts[0] && a.parts[1] == b.parts[1] && a.parts[2] == b.parts[2];
}

static void FillStatus(const struct stat& info, FileStatus* status) {
    status->kind = S_ISREG(info.st_mode)   ? FILE_KIND_REGULAR
                   : S_ISDIR(info.st_mode) ? FILE_KIND_DIRECTORY
                   : S_ISLNK(info.st_mode) ? FILE_KIND_LINK
                                           : FILE_KIND_OTHER;
    status->size = (uint64_t)info.st_size;
    status->identity = FileIdentity();
    status->identity.parts[0] = (uint64_t)info.st_dev;
    status->identity.parts[1] = (uint64_t)info.st_ino;
    status->modified = (int64_t)info.st_mtim.tv_sec * 1000000000 + info.st_mtim.tv_nsec;
}

Problem QueryFileStatus(const std::string& path, bool followLinks, FileStatus* status) {
    struct stat info;
    if ((followLinks ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0) return ErrnoText();
    FillStatus(info, status);
    return {};
}

Problem ListDirectory(const std::string& path, std::vector<std::string>* names) {
    DIR* directory = opendir(path.c_str());
    if (!directory) return "cannot open the directory: " + ErrnoText();
    errno = 0;
    while (dirent* item = readdir(directory)) {
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0) names->push_back(item->d_name);
        errno = 0;
    }
    int readError = errno;
    closedir(directory);
    if (readError) return std::string("cannot read the directory: ") + strerror(readError);
    return {};
}

Problem CreateNewDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 ? Problem() : ErrnoText(); }

Problem RenameFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0 ? Problem() : ErrnoText();
}

void RemoveFileIfPresent(const std::string& path) { unlink(path.c_str()); }

Problem RemoveEmptyDirectory(const std::string& path) { return rmdir(path.c_str()) == 0 ? Problem() : ErrnoText(); }

Problem MakeHardLink(const std::string& existing, const std::string& link) {
    return ::link(existing.c_str(), link.c_str()) == 0 ? Problem() : ErrnoText();
}

Problem MakeSymbolicLink(const std::string& target, const std::string& link) {
    return symlink(target.c_str(), link.c_str()) == 0 ? Problem() : ErrnoText();
}

Problem MakeReadOnly(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return ErrnoText();
    return chmod(path.c_str(), info.st_mode & 07555) == 0 ? Problem() : ErrnoText();
}

Problem FlushToDisk(const std::string& path) {
    Problem problem;
    int descriptor = open(path.c_str(), O_RDONLY);
    if (descriptor < 0 || fsync(descriptor) != 0) problem = ErrnoText();
    if (descriptor >= 0) close(descriptor);
    return problem;
}

std::string ParentDirectory(const std::string& path) {
    std::vector<char> copy(path.begin(), path.end());
    copy.push_back(0);
    return dirname(copy.data());
}

std::string JoinPath(const std::string& directory, const std::string& name) { return directory + "/" + name; }

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char* current = getcwd(nullptr, 0);
    std::string absolute = current ? JoinPath(current, path) : path;
    free(current);
    return absolute;
}

std::string OwnExecutablePath() {
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (length <= 0) return "";
    return std::string(self, (size_t)length);
}

Problem OpenFileForReading(const std::string& path, OpenFile* file) {
    file->handle = open(path.c_str(), O_RDONLY);
    return file->handle < 0 ? ErrnoText() : Problem();
}

Problem CreateFileForWriting(const std::string& path, OpenFile* file) {
    file->handle = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
    return file->handle < 0 ? ErrnoText() : Problem();
}

Problem CreateUniqueFile(const std::string& prefix, std::string* path, OpenFile* file) {
    std::string pattern = prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    file->handle = mkstemp(name.data());
    if (file->handle < 0) return ErrnoText();
    *path = name.data();
    return {};
}

Problem QueryOpenFileStatus(const OpenFile& file, FileStatus* status) {
    struct stat info;
    if (fstat(Descriptor(file), &info) != 0) return ErrnoText();
    FillStatus(info, status);
    return {};
}

Problem ReadFromFile(OpenFile* file, uint8_t* buffer, size_t size, size_t* got) {
    for (;;) {
        ssize_t result = read(Descriptor(*file), buffer, size);
        if (result < 0 && errno == EINTR) continue;
        if (result < 0) return ErrnoText();
        *got = (size_t)result;
        return {};
    }
}

Problem WriteToFile(OpenFile* file, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(Descriptor(*file), data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return ErrnoText();
        data += written;
        size -= (size_t)written;
    }
    return {};
}

Problem GiveUsualPermissions(OpenFile* file) {
    mode_t mask = umask(0);
    umask(mask);
    return fchmod(Descriptor(*file), 0666 & ~mask) == 0 ? Problem() : ErrnoText();
}

Problem FlushFileToDisk(OpenFile* file) { return fsync(Descriptor(*file)) == 0 ? Problem() : ErrnoText(); }

Problem CloseFile(OpenFile* file) {
    int result = close(Descriptor(*file));
    file->handle = -1;
    return result == 0 ? Problem() : ErrnoText();
}
