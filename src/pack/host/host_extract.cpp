#include "pack/host/host_extract.h"

#include <cstring>

#include "format/installer_format.h"
#include "platform/platform.h"

namespace {

bool IsEmptyDirectory(const std::string& path) {
    std::vector<std::string> names;
    return ListDirectory(path, &names).empty() && names.empty();
}

bool IsDirectory(const std::string& path) {
    FileStatus status;
    return QueryFileStatus(path, false, &status).empty() && status.kind == FILE_KIND_DIRECTORY;
}

// The name's parts in UTF-8; '\' and '/' separate, empty and "." parts
// vanish. None for a name that does not convert or that holds "..".
std::optional<std::vector<std::string>> HostParts(const CodePage& codePage, const std::string& name) {
    std::optional<std::string> utf8 = FromCodePage(codePage, name);
    if (!utf8) return std::nullopt;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= utf8->size()) {
        size_t end = utf8->find_first_of("\\/", start);
        if (end == std::string::npos) end = utf8->size();
        std::string part = utf8->substr(start, end - start);
        if (part == "..") return std::nullopt;   // never below the directory, whatever the stream holds
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

// Makes each missing directory along the parts, refusing to pass through anything else.
std::string MakeDirectories(const std::string& root, const std::vector<std::string>& parts, size_t count) {
    std::string path = root;
    for (size_t index = 0; index < count; ++index) {
        path += "/" + parts[index];
        if (IsDirectory(path)) continue;
        std::string failure = CreateNewDirectory(path);
        if (!failure.empty()) return path + ": cannot create the directory: " + failure;
    }
    return "";
}

std::string WriteHostFile(const std::string& path, const uint8_t* data, size_t size) {
    OpenFile file;
    std::string failure = CreateFileForWriting(path, &file);
    if (!failure.empty()) return path + ": cannot create: " + failure;
    std::string problem;
    if (!(failure = WriteToFile(&file, data, size)).empty()) problem = path + ": cannot write: " + failure;
    if (!(failure = CloseFile(&file)).empty() && problem.empty()) problem = path + ": cannot write: " + failure;
    return problem;
}

}   // namespace

std::string ExtractToDirectory(const std::vector<uint8_t>& stream, const ParsedStream& parsed, const CodePage& codePage,
                               const std::string& directory, ExtractReport* report) {
    *report = ExtractReport();
    FileStatus status;
    if (!QueryFileStatus(directory, false, &status).empty()) {
        std::string failure = CreateNewDirectory(directory);
        if (!failure.empty()) return directory + ": cannot create the directory: " + failure;
    } else if (status.kind != FILE_KIND_DIRECTORY || !IsEmptyDirectory(directory)) {
        return directory + ": must be a new or empty directory";
    }
    for (const StreamEntry& entry : parsed.entries) {
        std::optional<std::vector<std::string>> hostParts = HostParts(codePage, entry.name);
        if (!hostParts) {
            report->skipped.push_back("'" + PrintableText(codePage, entry.name) + "': not a safe name in code page " +
                                      codePage.name);
            continue;
        }
        const std::vector<std::string>& parts = *hostParts;
        bool isDirectory = entry.sizeCode == SIZE_CODE_DIRECTORY;
        bool endsWithSeparator = !entry.name.empty() && strchr("\\/", entry.name.back());
        if (parts.empty() || (!isDirectory && endsWithSeparator)) {
            report->skipped.push_back("'" + PrintableText(codePage, entry.name) +
                                      "': names no file below the target directory");
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
