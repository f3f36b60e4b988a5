#include "support/system_library.h"

#include <string.h>
#include <windows.h>

typedef BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD directoryFlags);
typedef BOOL(WINAPI* SetDllDirectoryCall)(LPCSTR directory);

// GetProcAddress's result as a plain address, for a cast to the function's own type.
static void* FunctionAddress(HMODULE module, const char* function) { return (void*)GetProcAddress(module, function); }

void RestrictLibrarySearch() {
    HMODULE kernel = GetModuleHandleA("kernel32");   // always loaded
    // Windows 8 on, and Vista and 7 with their update: the system directory only.
    SetDefaultDllDirectoriesCall restrictToSystem =
        (SetDefaultDllDirectoriesCall)FunctionAddress(kernel, "SetDefaultDllDirectories");
    if (restrictToSystem) restrictToSystem(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // XP SP1 on: an empty DLL directory takes the current directory out.
    SetDllDirectoryCall setDllDirectory = (SetDllDirectoryCall)FunctionAddress(kernel, "SetDllDirectoryA");
    if (setDllDirectory) setDllDirectory("");
}

// The DLL's full path in the system directory; 0 when it would not fit.
static int32_t SystemLibraryPath(char* path, const char* library) {
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (!length || length >= MAX_PATH) return 0;
    path[length] = '\\';
    strcpy(path + length + 1, library);
    return 1;
}

void* SystemLibraryFunction(const char* library, const char* function) {
    char path[MAX_PATH + 16];
    if (!SystemLibraryPath(path, library)) return 0;
    HMODULE module = LoadLibraryA(path);
    return module ? FunctionAddress(module, function) : 0;
}
