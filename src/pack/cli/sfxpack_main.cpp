// sfxpack: makes, lists, verifies, extracts and tries self-extracting installers.
#include <cstdio>

#include "pack/cli/commands.h"
#include "pack/names/code_page.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments = StartProgram(argc, argv);
    CommandLine line;
    if (Problem problem = ParseCommandLine(arguments, &line)) {
        fprintf(stderr, "sfxpack: %s\nTry 'sfxpack --help'.\n", TerminalText(problem.text).c_str());
        return EXIT_USAGE;
    }
    switch (line.command) {
    case COMMAND_CREATE:
        return RunWithCodePage(line, RunCreate);
    case COMMAND_LIST:
        return RunWithCodePage(line, RunList);
    case COMMAND_VERIFY:
        return RunWithCodePage(line, RunVerify);
    case COMMAND_EXTRACT:
        return RunWithCodePage(line, RunExtract);
    case COMMAND_TRY:
        return RunWithCodePage(line, RunTry);
    case COMMAND_VERSION:
        printf("sfxpack %s\n", SFX_VERSION);
        return EXIT_OK;
    case COMMAND_HELP:
        break;
    }
    fputs(UsageText().c_str(), stdout);
    return EXIT_OK;
}
