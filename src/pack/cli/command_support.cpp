#include <cstdio>

#include "pack/cli/commands.h"
#include "pack/names/code_page.h"

int Fail(const std::string& message) {
    fprintf(stderr, "sfxpack: %s\n", TerminalText(message).c_str());
    return EXIT_FAILED;
}

void Warn(const std::string& message) { fprintf(stderr, "sfxpack: warning: %s\n", TerminalText(message).c_str()); }

void PrintLine(const std::string& line) { printf("%s\n", TerminalText(line).c_str()); }

int RunWithCodePage(const CommandLine& line, int (*command)(const CommandLine& line, const CodePage& codePage)) {
    CodePage codePage;
    if (Problem problem = OpenCodePage(line.codePage.empty() ? DEFAULT_CODE_PAGE : line.codePage, &codePage)) {
        fprintf(stderr, "sfxpack: --codepage: %s\n", TerminalText(problem.text).c_str());
        return EXIT_USAGE;
    }
    int result = command(line, codePage);
    CloseCodePage(&codePage);
    return result;
}

std::string Counted(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
