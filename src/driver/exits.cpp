#include <windows.h>

#include "driver/driver_state.h"
#include "files/channels.h"
#include "process/message_box.h"
#include "support/heap.h"

[[noreturn]] static void Shutdown(UINT exitCode) {
    CloseAllChannels();   // writes out what the channel buffers still hold
    DestroyProcessHeap();
    ExitProcess(exitCode);
}

[[noreturn]] static void ErrorExit(Text message, UINT exitCode) {
    ShowModalMessage(ERROR_CAPTION, message);
    Shutdown(exitCode);
}

void NormalExit() { Shutdown(EXIT_COMPLETED); }

void InvalidArchiveExit() { ErrorExit(INVALID_ARCHIVE_TEXT, EXIT_INVALID_ARCHIVE); }

void InstallFailedExit() { ErrorExit(INSTALL_FAILED_TEXT, EXIT_INSTALL_FAILED); }
