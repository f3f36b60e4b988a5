#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pack/cli/commands.h"

int Fail(const std::string& message) {
    fprintf(stderr, "sfxpack: %s\n", message.c_str());
    return EXIT_FAILED;
}

void Warn(const std::string& message) { fprintf(stderr, "sfxpack: warning: %s\n", message.c_str()); }

int OpenRequestedCodePage(const CommandLine& line, CodePage* codePage) {
    std::string problem = OpenCodePage(line.codePage.empty() ? DEFAULT_CODE_PAGE : line.codePage, codePage);
    if (problem.empty()) return EXIT_OK;
    fprintf(stderr, "sfxpack: --codepage: %s\n", problem.c_str());
    return EXIT_USAGE;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* problem) {
    bytes->clear();
    int file = open(path.c_str(), O_RDONLY);
    struct stat info;
    if (file < 0 || fstat(file, &info) != 0) {
        *problem = path + ": " + strerror(errno);
        if (file >= 0) close(file);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        close(file);
        *problem = path + (S_ISDIR(info.st_mode) ? ": is a directory" : ": is not a regular file");
        return false;
    }
    bytes->reserve((size_t)info.st_size);
    uint8_t buffer[1 << 16];
    ssize_t got;
    while ((got = read(file, buffer, sizeof(buffer))) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            *problem = path + ": cannot read: " + strerror(errno);
            close(file);
            return false;
        }
        bytes->insert(bytes->end(), buffer, buffer + got);
    }
    close(file);
    return true;
}
