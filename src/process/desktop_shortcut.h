// A shortcut on the user's desktop, written through the shell's own link
// object, which needs no script host.
#pragma once
#include <stdint.h>

#include "strings/text.h"

// Writes NAME.lnk in the user's Desktop folder: the program it starts, its
// working directory, the file whose first icon it shows, its description; a
// normal window and no hot key. Needs COM on the thread. Nonzero when saved.
int32_t SaveDesktopShortcut(Text name, Text program, Text workingDirectory, Text iconFile, Text description);
