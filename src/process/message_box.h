// Message boxes that are modal over every top-level window of the calling
// thread, not only over their owner.
// The stub's runtime library keeps every operation it has, though the installer uses only some of them.
#pragma once
#include <stdint.h>

#include "strings/text.h"

// What MessageBoxA returned (the button that closed the box), 0 when no box could be shown.
int32_t ShowModalMessageBox(Text caption, Text text, uint32_t type);
int32_t ShowModalMessage(Text caption, Text text);   // a single OK button
