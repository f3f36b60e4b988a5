#include "process/message_box.h"

#include <windows.h>

#include "files/object_table.h"

// One record for each window that a box disabled and must enable again.
struct DisabledWindow {
    DWORD threadId;
    HWND window;
    int32_t wasTopmost;
};

// Shared by every thread that shows a box; each thread handles only its own
// records. A spin lock needs no set-up, so a box can be shown from any thread
// at any time.
static ListNode* disabledWindows;
static volatile LONG disabledWindowsLock;

static void LockDisabledWindows() {
    while (InterlockedExchange(&disabledWindowsLock, 1)) Sleep(0);
}

static void UnlockDisabledWindows() { InterlockedExchange(&disabledWindowsLock, 0); }

// Moving a window between the topmost and the normal band must not activate
// it: it would become the foreground window, and so the box's owner.
static const UINT CHANGE_BAND_ONLY = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

static BOOL CALLBACK DisableIfOwnWindow(HWND window, LPARAM) {
    if (GetWindowThreadProcessId(window, 0) != GetCurrentThreadId()) return TRUE;
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    if (window == GetForegroundWindow()) return TRUE;   // it may own the box
    LockDisabledWindows();
    DisabledWindow* record = (DisabledWindow*)PushListNode(&disabledWindows, sizeof(DisabledWindow));
    UnlockDisabledWindows();
    if (!record) return TRUE;   // never disable a window that could not be recorded
    record->window = window;
    record->threadId = GetCurrentThreadId();
    if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) {
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, CHANGE_BAND_ONLY);
        record->wasTopmost = 1;
    }
    EnableWindow(window, FALSE);
    return TRUE;
}

static void DisableThreadWindows() { EnumWindows(DisableIfOwnWindow, 1); }

// The foreground window when it belongs to this process, whichever thread made it.
static HWND ChooseBoxOwner() {
    HWND foreground = GetForegroundWindow();
    if (!foreground) return 0;
    DWORD processId = 0;
    GetWindowThreadProcessId(foreground, &processId);
    return processId == GetCurrentProcessId() ? foreground : 0;
}

// Newest records first, so windows come back in the reverse order of
// disabling. One record at a time leaves the list, and the window is touched
// only after the lock is left: enabling it runs its window procedure, which may
// show a box of its own, and changing bands can send messages to other
// threads, which may be waiting for the lock.
static void RestoreThreadWindows() {
    for (;;) {
        DisabledWindow own = {0, 0, 0};
        LockDisabledWindows();
        for (ListNode* node = disabledWindows; node; node = node->next) {
            DisabledWindow* record = (DisabledWindow*)(node + 1);
            if (record->threadId != GetCurrentThreadId()) continue;   // another thread's
            own = *record;
            UnlinkListNode(&disabledWindows, record);
            break;
        }
        UnlockDisabledWindows();
        if (!own.window) return;
        EnableWindow(own.window, TRUE);
        if (own.wasTopmost) SetWindowPos(own.window, HWND_TOPMOST, 0, 0, 0, 0, CHANGE_BAND_ONLY);
    }
}

int32_t ShowModalMessageBox(Text caption, Text text, uint32_t type) {
    DisableThreadWindows();
    HWND owner = ChooseBoxOwner();
    int32_t result = MessageBoxA(owner, text ? text : "", caption ? caption : "", type);
    RestoreThreadWindows();
    return result;
}

int32_t ShowModalMessage(Text caption, Text text) { return ShowModalMessageBox(caption, text, MB_OK); }
