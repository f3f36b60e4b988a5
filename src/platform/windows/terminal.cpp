#include "platform/windows/system.h"

#include <cstdlib>

#include "platform/platform.h"

bool StandardErrorIsTerminal() {
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO console;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &console))
        return console.srWindow.Right - console.srWindow.Left + 1;
    char columns[16];
    DWORD length = GetEnvironmentVariableA("COLUMNS", columns, sizeof(columns));
    int fromEnvironment = length > 0 && length < sizeof(columns) ? atoi(columns) : 0;
    return fromEnvironment > 0 ? fromEnvironment : 80;
}
