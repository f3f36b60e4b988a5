#pragma once
#include <stdint.h>

// Finds the timer functions in the system's winmm.dll; without them (not
// called, or not found) pauses still sleep, at the default resolution.
void InitPause();

// Waits with the system timer's resolution raised to 1 ms for the wait, so that
// short pauses last what they say.
void PauseMilliseconds(uint32_t milliseconds);
