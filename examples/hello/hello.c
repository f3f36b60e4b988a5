/* The example application that `make demo` installs: a small Windows program
   that shows its readme in a message box and notes each start in hello.log,
   both beside its own executable. */
#include <windows.h>

#include <string.h>

enum { README_LIMIT = 4096 };

/* The directory of this program, with its trailing backslash. */
static void OwnDirectory(char* directory, DWORD size) {
    DWORD length = GetModuleFileNameA(0, directory, size);
    while (length > 0 && directory[length - 1] != '\\') --length;
    directory[length] = 0;
}

static DWORD ReadBeside(const char* directory, const char* name, char* text, DWORD size) {
    char path[MAX_PATH + 16];
    DWORD got = 0;
    lstrcpynA(path, directory, MAX_PATH);
    lstrcatA(path, name);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE) return 0;
    ReadFile(file, text, size - 1, &got, 0);
    CloseHandle(file);
    text[got] = 0;
    return got;
}

static void AppendBeside(const char* directory, const char* name, const char* line) {
    char path[MAX_PATH + 16];
    DWORD written = 0;
    lstrcpynA(path, directory, MAX_PATH);
    lstrcatA(path, name);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, 0, OPEN_ALWAYS, 0, 0);
    if (file == INVALID_HANDLE_VALUE) return;
    WriteFile(file, line, (DWORD)strlen(line), &written, 0);
    CloseHandle(file);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    char directory[MAX_PATH];
    char readme[README_LIMIT];
    char line[MAX_PATH + 64];
    (void)instance, (void)previous, (void)commandLine, (void)show;
    OwnDirectory(directory, MAX_PATH);
    if (!ReadBeside(directory, "readme.txt", readme, sizeof(readme)))
        lstrcpyA(readme, "Hello! (readme.txt is missing)");
    lstrcpyA(line, "Hello started from ");
    lstrcatA(line, directory);
    lstrcatA(line, "\r\n");
    AppendBeside(directory, "hello.log", line);
    MessageBoxA(0, readme, "Hello", MB_OK | MB_ICONINFORMATION);
    return 0;
}
