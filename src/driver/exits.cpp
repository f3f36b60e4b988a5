#include <windows.h>

#include "driver/driver_state.h"
#include "files/channels.h"
#include "process/message_box.h"
#include "support/heap.h"

enum { EXIT_COMPLETED = 0, EXIT_INVALID_ARCHIVE = 255 };

[[noreturn]] static void Shutdown(UINT exitCode) {
    CloseAllChannels();   // writes out what the channel buffers still hold
    DestroyProcessHeap();
    ExitProcess(exitCode);
}

void NormalExit() { Shutdown(EXIT_COMPLETED); }

void InvalidArchiveExit() {
    ShowModalMessage("Greska", "Neispravna sfx arhiva!");
    Shutdown(EXIT_INVALID_ARCHIVE);
}
