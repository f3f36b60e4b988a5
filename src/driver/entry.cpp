// The installer's entry point: no C runtime start-up runs before it.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "driver/driver_state.h"
#include "files/channels.h"
#include "process/launcher.h"
#include "support/heap.h"
#include "support/program_module.h"
#include "support/text_workspace.h"

DriverState driver;

static void InitServices() {
    InitTextWorkspace();
    InitChannels();
    InitZeroedHeap();
    InitializeLauncher();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES |
                                                           ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitialize(0);
}

extern "C" void __stdcall StubEntry() {
    // The driver state starts zeroed: the loader hands over .bss zero-filled.
    SetProgramModule(GetModuleHandleA(0));
    InitProcessHeap();
    InitServices();
    driver.archiveOffset = ARCHIVE_OFFSET;
    AssignText(&driver.listPath, EXTRACTION_LIST_PATH);

    LoadArchive();
    ExtractEntries();
    CompleteInstallation();
}
