// Reading a whole file, on the platform's file operations.
#include "platform/platform.h"

Problem ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    bytes->clear();
    OpenFile file;
    FileStatus status;
    Problem failure = OpenFileForReading(path, &file);
    if (!failure) failure = QueryOpenFileStatus(file, &status);
    // A file only read from has nothing to lose when its close fails.
    if (failure) {
        if (file.handle >= 0) (void)CloseFile(&file);
        return path + ": " + failure.text;
    }
    if (status.kind != FILE_KIND_REGULAR) {
        (void)CloseFile(&file);
        return path + (status.kind == FILE_KIND_DIRECTORY ? ": is a directory" : ": is not a regular file");
    }
    bytes->reserve((size_t)status.size);
    uint8_t buffer[1 << 16];
    size_t got;
    while (!(failure = ReadFromFile(&file, buffer, sizeof(buffer), &got)) && got != 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    (void)CloseFile(&file);
    return Prefixed(path + ": cannot read: ", failure);
}
