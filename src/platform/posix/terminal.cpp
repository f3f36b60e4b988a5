#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO); }

int TerminalColumns() {
    struct winsize size;
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    const char* columns = getenv("COLUMNS");
    int fromEnvironment = columns ? atoi(columns) : 0;
    return fromEnvironment > 0 ? fromEnvironment : 80;
}
