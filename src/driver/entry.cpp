// The installer's entry point: no C runtime start-up runs before it.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "driver/driver_state.h"
#include "files/channels.h"
#include "process/launcher.h"
#include "support/heap.h"
#include "support/pause.h"
#include "support/program_module.h"
#include "support/system_library.h"
#include "support/text_workspace.h"

DriverState driver;

typedef BOOL(WINAPI* InitCommonControlsCall)(const INITCOMMONCONTROLSEX* controls);

static void InitServices(InitCommonControlsCall initCommonControls) {
    InitTextWorkspace();
    InitChannels();
    InitZeroedHeap();
    InitializeLauncher();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES |
                                                           ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES};
    if (initCommonControls) initCommonControls(&controls);
    CoInitialize(0);
}

extern "C" void __stdcall StubEntry() {
    // Before any DLL is loaded: none may come from the installer's folder.
    RestrictLibrarySearch();
    InitPause();
    InitCommonControlsCall initCommonControls =
        (InitCommonControlsCall)SystemLibraryFunction("comctl32.dll", "InitCommonControlsEx");
    // The driver state starts zeroed: the loader hands over .bss zero-filled.
    SetProgramModule(GetModuleHandleA(0));
    InitProcessHeap();
    InitServices(initCommonControls);
    driver.archiveOffset = ARCHIVE_OFFSET;
    AssignText(&driver.listPath, EXTRACTION_LIST_PATH);

    LoadOwnArchive();
    ExtractEntries();
    CompleteInstallation();
}
