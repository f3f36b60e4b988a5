#include <cstdio>

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
