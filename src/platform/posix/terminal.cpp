#include <unistd.h>

#include "platform/platform.h"

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO); }
