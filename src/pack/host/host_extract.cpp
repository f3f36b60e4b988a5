#include "pack/host/host_extract.h"

#include <cstring>

#include "format/installer_format.h"
#include "platform/platform.h"

namespace {

bool IsEmptyDirectory(const std::string& path) {
    std::vector<std::string> names;
    return !ListDirectory(path, &names) && names.empty();
}

bool IsDirectory(const std::string& path) {
    FileStatus status;
    return !QueryFileStatus(path, false, &status) && status.kind == FILE_KIND_DIRECTORY;
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
Problem MakeDirectories(const std::string& root, const std::vector<std::string>& parts, size_t count) {
    std::string path = root;
    for (size_t index = 0; index < count; ++index) {
        path += "/" + parts[index];
        if (IsDirectory(path)) continue;
        if (Problem failure = CreateNewDirectory(path)) return path + ": cannot create the directory: " + failure.text;
    }
    return {};
}

Problem WriteHostFile(const std::string& path, const uint8_t* data, size_t size) {
    OpenFile file;
    if (Problem failure = CreateFileForWriting(path, &file)) return path + ": cannot create: " + failure.text;
    Problem problem = WriteToFile(&file, data, size);
    Problem closing = CloseFile(&file);
    return Prefixed(path + ": cannot write: ", problem ? problem : closing);
}

}   // namespace

Problem ExtractToDirectory(const std::vector<uint8_t>& stream, const ParsedStream& parsed, const CodePage& codePage,
                           const std::string& directory, ExtractReport* report) {
    *report = ExtractReport();
    FileStatus status;
    if (QueryFileStatus(directory, false, &status)) {
        if (Problem failure = CreateNewDirectory(directory))
            return directory + ": cannot create the directory: " + failure.text;
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
        if (Problem problem = MakeDirectories(directory, parts, isDirectory ? parts.size() : parts.size() - 1))
            return problem;
        if (isDirectory) {
            ++report->directories;
            continue;
        }
        std::string path = directory;
        for (const std::string& part : parts) path += "/" + part;
        size_t size = entry.sizeCode > 0 ? (size_t)entry.sizeCode : 0;
        if (Problem problem = WriteHostFile(path, stream.data() + entry.dataOffset, size)) return problem;
        ++report->files;
    }
    return {};
}
