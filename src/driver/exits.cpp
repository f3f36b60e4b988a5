#include <windows.h>

#include "driver/driver_state.h"
#include "files/channels.h"
#include "process/message_box.h"
#include "support/heap.h"

enum { EXIT_COMPLETED = 0, EXIT_INSTALL_FAILED = 1, EXIT_INVALID_ARCHIVE = 255 };

[[noreturn]] static void Shutdown(UINT exitCode) {
    CloseAllChannels();   // writes out what the channel buffers still hold
    DestroyProcessHeap();
    ExitProcess(exitCode);
}

[[noreturn]] static void ErrorExit(Text message, UINT exitCode) {
    ShowModalMessage("Greska", message);
    Shutdown(exitCode);
}

void NormalExit() { Shutdown(EXIT_COMPLETED); }

void InvalidArchiveExit() { ErrorExit("Neispravna sfx arhiva!", EXIT_INVALID_ARCHIVE); }

void InstallFailedExit() { ErrorExit("Instalacija nije uspjela!", EXIT_INSTALL_FAILED); }
