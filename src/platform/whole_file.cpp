// Reading a whole file, on the platform's file operations.
#include "platform/platform.h"

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* problem) {
    bytes->clear();
    OpenFile file;
    FileStatus status;
    std::string failure = OpenFileForReading(path, &file);
    if (failure.empty()) failure = QueryOpenFileStatus(file, &status);
    if (!failure.empty()) {
        *problem = path + ": " + failure;
        if (file.handle >= 0) CloseFile(&file);
        return false;
    }
    if (status.kind != FILE_KIND_REGULAR) {
        CloseFile(&file);
        *problem = path + (status.kind == FILE_KIND_DIRECTORY ? ": is a directory" : ": is not a regular file");
        return false;
    }
    bytes->reserve((size_t)status.size);
    uint8_t buffer[1 << 16];
    size_t got;
    while ((failure = ReadFromFile(&file, buffer, sizeof(buffer), &got)).empty() && got != 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    CloseFile(&file);
    if (failure.empty()) return true;
    *problem = path + ": cannot read: " + failure;
    return false;
}
