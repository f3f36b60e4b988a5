#include "pack/host_extract.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "format/installer_format.h"

namespace {

std::string ErrnoText() { return strerror(errno); }

bool IsEmptyDirectory(const std::string& path) {
    DIR* directory = opendir(path.c_str());
    if (!directory) return false;
    size_t count = 0;
    while (dirent* item = readdir(directory))
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0) ++count;
    closedir(directory);
    return count == 0;
}

// The name's parts in UTF-8; '\' and '/' separate, empty and "." parts vanish.
bool HostParts(const CodePage& codePage, const std::string& name, std::vector<std::string>* parts) {
    std::string utf8;
    if (!FromCodePage(codePage, name, &utf8)) return false;
    parts->clear();
    size_t start = 0;
    while (start <= utf8.size()) {
        size_t end = utf8.find_first_of("\\/", start);
        if (end == std::string::npos) end = utf8.size();
        std::string part = utf8.substr(start, end - start);
        if (part == "..") return false;   // never below the directory, whatever the stream holds
        if (!part.empty() && part != ".") parts->push_back(part);
        start = end + 1;
    }
    return true;
}

// Makes each missing directory along the parts, refusing to pass through anything else.
std::string MakeDirectories(const std::string& root, const std::vector<std::string>& parts, size_t count) {
    std::string path = root;
    for (size_t index = 0; index < count; ++index) {
        path += "/" + parts[index];
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
        if (mkdir(path.c_str(), 0777) != 0) return path + ": cannot create the directory: " + ErrnoText();
    }
    return "";
}

std::string WriteHostFile(const std::string& path, const uint8_t* data, size_t size) {
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
    if (file < 0) return path + ": cannot create: " + ErrnoText();
    std::string problem;
    while (size > 0 && problem.empty()) {
        ssize_t written = write(file, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) problem = path + ": cannot write: " + ErrnoText();
        if (written > 0) {
            data += written;
            size -= (size_t)written;
        }
    }
    if (close(file) != 0 && problem.empty()) problem = path + ": cannot write: " + ErrnoText();
    return problem;
}

}  // namespace

std::string ExtractToDirectory(const std::vector<uint8_t>& stream, const ParsedStream& parsed,
                               const CodePage& codePage, const std::string& directory, ExtractReport* report) {
    *report = ExtractReport();
    struct stat info;
    if (lstat(directory.c_str(), &info) != 0) {
        if (mkdir(directory.c_str(), 0777) != 0) return directory + ": cannot create the directory: " + ErrnoText();
    } else if (!S_ISDIR(info.st_mode) || !IsEmptyDirectory(directory)) {
        return directory + ": must be a new or empty directory";
    }
    for (const StreamEntry& entry : parsed.entries) {
        std::vector<std::string> parts;
        if (!HostParts(codePage, entry.name, &parts)) {
            report->skipped.push_back("'" + entry.name + "': not a safe name in code page " + codePage.name);
            continue;
        }
        bool isDirectory = entry.sizeCode == SIZE_CODE_DIRECTORY;
        bool endsWithSeparator = !entry.name.empty() && strchr("\\/", entry.name.back());
        if (parts.empty() || (!isDirectory && endsWithSeparator)) {
            report->skipped.push_back("'" + entry.name + "': names no file below the target directory");
            continue;
        }
        std::string problem = MakeDirectories(directory, parts, isDirectory ? parts.size() : parts.size() - 1);
        if (!problem.empty()) return problem;
        if (isDirectory) {
            ++report->directories;
            continue;
        }
        std::string path = directory;
        for (const std::string& part : parts) path += "/" + part;
        size_t size = entry.sizeCode > 0 ? (size_t)entry.sizeCode : 0;
        if (!(problem = WriteHostFile(path, stream.data() + entry.dataOffset, size)).empty()) return problem;
        ++report->files;
    }
    return "";
}
