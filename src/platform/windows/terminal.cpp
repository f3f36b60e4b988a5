#include "platform/windows/system.h"

#include "platform/platform.h"

bool StandardErrorIsTerminal() {
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
}
