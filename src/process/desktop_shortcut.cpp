#include "process/desktop_shortcut.h"

#include <windows.h>

#include <shlobj.h>

// The shell link's class and the two interfaces used, as Windows defines them.
static const GUID SHELL_LINK_CLASS = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID SHELL_LINK_INTERFACE = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID PERSIST_FILE_INTERFACE = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

enum { LINK_PATH_SIZE = 2 * MAX_PATH };

int32_t SaveDesktopShortcut(Text name, Text program, Text workingDirectory, Text iconFile, Text description) {
    // The desktop's path in UTF-16, so that a user name outside the code page does not matter.
    WCHAR path[LINK_PATH_SIZE];
    if (!SHGetSpecialFolderPathW(0, path, CSIDL_DESKTOPDIRECTORY, FALSE)) return 0;
    int32_t length = 0;
    while (path[length]) ++length;
    path[length++] = '\\';
    if (!MultiByteToWideChar(CP_ACP, 0, ConcatText(name, ".lnk"), -1, path + length, LINK_PATH_SIZE - length)) return 0;

    IShellLinkA* link;
    if (FAILED(CoCreateInstance(SHELL_LINK_CLASS, 0, CLSCTX_INPROC_SERVER, SHELL_LINK_INTERFACE, (void**)&link)))
        return 0;
    link->SetPath(program);
    link->SetWorkingDirectory(workingDirectory);
    link->SetIconLocation(iconFile, 0);
    link->SetDescription(description);
    link->SetShowCmd(SW_SHOWNORMAL);
    IPersistFile* file;
    int32_t saved = 0;
    if (SUCCEEDED(link->QueryInterface(PERSIST_FILE_INTERFACE, (void**)&file))) {
        saved = SUCCEEDED(file->Save(path, TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}
