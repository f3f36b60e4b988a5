// A DLL that end-to-end tests plant beside an installer under the name of a
// system DLL that is no KnownDLL (winmm.dll, comctl32.dll). Whichever process
// loads it finds a marker beside it: the DLL's path followed by ".ran",
// holding that process's program path. It exports what the installer once
// imported from those DLLs, so that a loader taking it for them runs it.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char marker[MAX_PATH + 8];
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameA(instance, marker, MAX_PATH);
    lstrcpyA(marker + length, ".ran");
    DWORD programLength = GetModuleFileNameA(0, program, MAX_PATH);
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    DWORD written;
    WriteFile(file, program, programLength, &written, 0);
    CloseHandle(file);
    return TRUE;
}

extern "C" __declspec(dllexport) UINT WINAPI timeBeginPeriod(UINT) { return 0; }
extern "C" __declspec(dllexport) UINT WINAPI timeEndPeriod(UINT) { return 0; }
extern "C" __declspec(dllexport) BOOL WINAPI InitCommonControlsEx(const void*) { return TRUE; }
