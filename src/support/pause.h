#pragma once
#include <stdint.h>

// Waits with the system timer's resolution raised to 1 ms for the wait, so that
// short pauses last what they say.
void PauseMilliseconds(uint32_t milliseconds);
