// The Windows side of the interrupt clean-up: RunTool names the program it
// runs, and the console set up at the start is put back on the way out.
#pragma once
#include "platform/windows/system.h"

// The process that an interrupt ends before it removes the files (null: none):
// it might otherwise make one of them again.
void KillOnInterrupt(HANDLE process);
// Gives the console back the code page it had before StartProgram.
void RestoreConsole();
// Signalled by an interrupt after CatchInterrupts.
HANDLE InterruptEvent();
