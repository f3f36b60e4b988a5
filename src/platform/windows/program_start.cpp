// The start of a command-line program on Windows: arguments from the wide
// command line, and standard output and error that behave as on Linux.
#include "platform/windows/system.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/windows/interrupts.h"
#include "platform/windows/wide_text.h"

static UINT consoleCodePage = 0;   // the console's own, to give back; 0: unchanged

void RestoreConsole() {
    if (consoleCodePage) SetConsoleOutputCP(consoleCodePage);
}

std::vector<std::string> StartProgram(int, char**) {
    // Bytes as written: no CR before each LF, so output matches Linux's byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    DWORD mode;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) || StandardErrorIsTerminal()) {
        // Names are printed in UTF-8; the console shows them as such until the program ends.
        UINT own = GetConsoleOutputCP();
        if (own != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
            consoleCodePage = own;
            atexit(RestoreConsole);
        }
        // The progress bar clears its line with an escape sequence.
        HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
        if (GetConsoleMode(errors, &mode)) SetConsoleMode(errors, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int index = 1; index < count; ++index) arguments.push_back(Utf8Text(wide[index], wcslen(wide[index])));
    LocalFree(wide);
    return arguments;
}
