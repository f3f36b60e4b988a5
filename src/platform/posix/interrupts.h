// The POSIX side of the interrupt clean-up: RunTool names the program it runs.
#pragma once
#include <signal.h>
#include <sys/types.h>

// The child that an interrupt kills before it removes the files (0: none):
// it might otherwise make one of them again.
void KillOnInterrupt(pid_t process);
// The signals that count as an interrupt.
void InterruptSignals(sigset_t* signals);
