#pragma once
#include <windows.h>

// The running executable's module handle, taken once at start-up.
void SetProgramModule(HMODULE module);
HMODULE ProgramModule();
