// Message boxes over real windows. These tests need a display: CTest runs them
// as win_message_box_window_test on a virtual one; without a display they skip.
// A watcher thread finds each box by its caption, notes the windows' states
// while it shows, and closes it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

#include "process/message_box.h"

namespace {

const char* const kWindowClass = "MessageBoxTestWindow";
const DWORD kPatienceMs = 60000;   // generous: Wine is slow to make windows on a busy machine

bool HaveDisplay() {
    char display[256];
    return GetEnvironmentVariableA("DISPLAY", display, sizeof(display)) > 0;
}

#define REQUIRE_DISPLAY() \
    if (!HaveDisplay()) GTEST_SKIP() << "needs a display (win_message_box_window_test)"

void RegisterWindowClass() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);   // fails harmlessly once it is registered
}

HWND MakeWindow(const char* title, DWORD extendedStyle = 0, bool visible = true) {
    RegisterWindowClass();
    return CreateWindowExA(extendedStyle, kWindowClass, title, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 50, 50,
                           200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void PumpMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

bool WaitUntil(const std::function<bool()>& condition, bool pump = false) {
    for (DWORD waited = 0; waited < kPatienceMs; waited += 20) {
        if (condition()) return true;
        if (pump) {
            PumpMessages(20);
        } else {
            Sleep(20);
        }
    }
    return condition();
}

bool MakeForeground(HWND window) {
    return WaitUntil(
        [window] {
            SetForegroundWindow(window);
            return GetForegroundWindow() == window;
        },
        true);
}

bool IsTopmost(HWND window) { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

HWND FindBox(const std::string& caption) {
    HWND box = FindWindowA("#32770", caption.c_str());
    return box && IsWindowVisible(box) ? box : nullptr;
}

// Runs on its own thread: waits for the box with the caption, lets look at it
// while it shows, then closes it with its OK button.
class BoxWatcher {
  public:
    BoxWatcher(std::string caption, std::function<void(HWND box)> whileShown)
        : caption_(std::move(caption)), whileShown_(std::move(whileShown)) {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~BoxWatcher() {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    bool found() {
        WaitForSingleObject(thread_, INFINITE);
        return found_;
    }

  private:
    static DWORD WINAPI Run(void* self) {
        BoxWatcher* watcher = (BoxWatcher*)self;
        HWND box = nullptr;
        watcher->found_ = WaitUntil([&] { return (box = FindBox(watcher->caption_)) != nullptr; });
        if (!watcher->found_) return 0;
        Sleep(200);   // let the box settle after it first shows
        if (watcher->whileShown_) watcher->whileShown_(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return 0;
    }

    std::string caption_;
    std::function<void(HWND)> whileShown_;
    HANDLE thread_;
    bool found_ = false;
};

// A window made by a thread of its own, which serves its messages until stopped.
class WindowThread {
  public:
    explicit WindowThread(const char* title) : title_(title) {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
        WaitForSingleObject(ready_, INFINITE);
    }
    ~WindowThread() {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    HWND window() const { return window_; }

  private:
    static DWORD WINAPI Run(void* self) {
        WindowThread* owner = (WindowThread*)self;
        owner->window_ = MakeWindow(owner->title_);
        SetEvent(owner->ready_);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        DestroyWindow(owner->window_);
        return 0;
    }

    const char* title_;
    HANDLE ready_;
    HANDLE thread_;
    DWORD threadId_;
    HWND window_ = nullptr;
};

struct WindowState {
    bool enabled;
    bool topmost;
    bool visible;
};

WindowState StateOf(HWND window) {
    return {IsWindowEnabled(window) != FALSE, IsTopmost(window), IsWindowVisible(window) != FALSE};
}

// A second thread that makes a window and, when told to, shows a box.
struct SecondThreadBox {
    HWND window = nullptr;
    int32_t result = -1;
    bool enabledAfter = false;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

DWORD WINAPI ShowSecondThreadBox(void* parameter) {
    SecondThreadBox* state = (SecondThreadBox*)parameter;
    state->window = MakeWindow("theirs");
    SetEvent(state->ready);
    WaitForSingleObject(state->go, INFINITE);
    state->result = ShowModalMessage("Second thread", "Second box.");
    state->enabledAfter = IsWindowEnabled(state->window) != FALSE;
    DestroyWindow(state->window);
    return 0;
}

// A window that shows a box of its own when it is enabled again, as a
// program may do on WM_ENABLE.
int32_t boxOnEnableResult = -1;

LRESULT CALLBACK BoxOnEnableProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENABLE && wParam && boxOnEnableResult == -1) {
        boxOnEnableResult = 0;
        boxOnEnableResult = ShowModalMessage("Inner box", "Shown while enabling.");
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Ends the test program when a test hangs, rather than leaving it to CTest's timeout.
class Watchdog {
  public:
    explicit Watchdog(DWORD milliseconds) : milliseconds_(milliseconds) {
        done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~Watchdog() {
        SetEvent(done_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(done_);
    }

  private:
    static DWORD WINAPI Run(void* self) {
        Watchdog* watchdog = (Watchdog*)self;
        if (WaitForSingleObject(watchdog->done_, watchdog->milliseconds_) == WAIT_OBJECT_0) return 0;
        fprintf(stderr, "Watchdog: the test hangs\n");
        fflush(stderr);
        ExitProcess(3);
    }

    DWORD milliseconds_;
    HANDLE done_;
    HANDLE thread_;
};

}   // namespace

TEST(ModalMessageBox, DisablesTheThreadsOtherWindowsWhileItShows) {
    REQUIRE_DISPLAY();
    HWND foreground = MakeWindow("foreground");
    HWND plain = MakeWindow("plain");
    HWND topmost = MakeWindow("topmost", WS_EX_TOPMOST);
    HWND hidden = MakeWindow("hidden", 0, false);
    HWND disabled = MakeWindow("disabled");
    EnableWindow(disabled, FALSE);
    WindowThread other("other thread");
    ASSERT_TRUE(MakeForeground(foreground));
    ASSERT_TRUE(IsTopmost(topmost));

    WindowState plainShown, topmostShown, hiddenShown, disabledShown, otherShown;
    HWND owner = nullptr;
    BoxWatcher watcher("Modal test", [&](HWND box) {
        owner = GetWindow(box, GW_OWNER);
        plainShown = StateOf(plain);
        topmostShown = StateOf(topmost);
        hiddenShown = StateOf(hidden);
        disabledShown = StateOf(disabled);
        otherShown = StateOf(other.window());
    });
    EXPECT_EQ(ShowModalMessage("Modal test", "Windows of this thread are disabled."), IDOK);
    ASSERT_TRUE(watcher.found());

    EXPECT_EQ(owner, foreground) << "the foreground window of the process owns the box";
    EXPECT_FALSE(plainShown.enabled);
    EXPECT_FALSE(topmostShown.enabled);
    EXPECT_FALSE(topmostShown.topmost) << "a disabled topmost window leaves the topmost band";
    EXPECT_TRUE(hiddenShown.enabled) << "hidden windows are left alone";
    EXPECT_FALSE(disabledShown.enabled);
    EXPECT_TRUE(otherShown.enabled) << "windows of other threads are left alone";

    EXPECT_TRUE(IsWindowEnabled(foreground));
    PumpMessages(200);
    EXPECT_NE(GetForegroundWindow(), topmost) << "back in the topmost band, but not brought to the front";
    EXPECT_TRUE(IsWindowEnabled(plain));
    EXPECT_FALSE(IsTopmost(plain)) << "only windows that were topmost become topmost again";
    EXPECT_TRUE(IsWindowEnabled(topmost));
    EXPECT_TRUE(IsTopmost(topmost));
    EXPECT_TRUE(IsWindowEnabled(hidden));
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_FALSE(IsWindowEnabled(disabled)) << "a window disabled before the box stays disabled";
    EXPECT_TRUE(IsWindowEnabled(other.window()));

    for (HWND window : {foreground, plain, topmost, hidden, disabled}) DestroyWindow(window);
}

TEST(ModalMessageBox, ForegroundWindowOfAnotherThreadOfTheProcessOwnsTheBox) {
    REQUIRE_DISPLAY();
    HWND own = MakeWindow("own");
    WindowThread other("foreground of another thread");
    ASSERT_TRUE(MakeForeground(other.window()));

    HWND owner = nullptr;
    WindowState ownShown;
    BoxWatcher watcher("Owner test", [&](HWND box) {
        owner = GetWindow(box, GW_OWNER);
        ownShown = StateOf(own);
    });
    EXPECT_EQ(ShowModalMessageBox("Owner test", "Owned by another thread's window.", MB_OK), IDOK);
    ASSERT_TRUE(watcher.found());
    EXPECT_EQ(owner, other.window());
    EXPECT_FALSE(ownShown.enabled);
    EXPECT_TRUE(IsWindowEnabled(own));
    EXPECT_TRUE(IsWindowEnabled(other.window()));
    DestroyWindow(own);
}

TEST(ModalMessageBox, ForegroundWindowOfAnotherProcessOwnsNothing) {
    REQUIRE_DISPLAY();
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string probe = path;
    probe = probe.substr(0, probe.rfind('\\') + 1) + "launch_probe.exe";
    std::string commandLine = "\"" + probe + "\" window \"Foreign window\"";
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process;
    ASSERT_TRUE(
        CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    HWND foreign = nullptr;
    bool inFront = WaitUntil([&] {
        foreign = FindWindowA("LaunchProbeWindow", "Foreign window");
        return foreign && GetForegroundWindow() == foreign;
    });

    HWND owner = (HWND)1;
    BoxWatcher watcher("Foreign test", [&](HWND box) { owner = GetWindow(box, GW_OWNER); });
    int32_t result = inFront ? ShowModalMessage("Foreign test", "No owner.") : 0;

    if (foreign) PostMessageA(foreign, WM_CLOSE, 0, 0);
    WaitForSingleObject(process.hProcess, kPatienceMs);
    CloseHandle(process.hProcess);
    ASSERT_TRUE(inFront) << "the other process's window never came to the foreground";
    EXPECT_EQ(result, IDOK);
    ASSERT_TRUE(watcher.found());
    EXPECT_EQ(owner, nullptr);
}

// Two threads show boxes at the same time: each disables and restores only
// its own windows, while the other's records stay in the shared list.
TEST(ModalMessageBox, BoxesOfTwoThreadsRestoreOnlyTheirOwnWindows) {
    REQUIRE_DISPLAY();
    HWND front = MakeWindow("front");
    HWND mine = MakeWindow("mine");

    SecondThreadBox second;
    HANDLE thread = CreateThread(nullptr, 0, ShowSecondThreadBox, &second, 0, nullptr);
    WaitForSingleObject(second.ready, INFINITE);
    ASSERT_TRUE(MakeForeground(front));   // so that neither thread's test window owns a box
    SetEvent(second.go);
    ASSERT_TRUE(WaitUntil([] { return FindBox("Second thread") != nullptr; }, true));
    bool mineWhileOnlyTheirs = IsWindowEnabled(mine) != FALSE;
    bool theirsWhileOnlyTheirs = IsWindowEnabled(second.window) != FALSE;

    WindowState mineShown, theirsShown;
    BoxWatcher watcher("First thread", [&](HWND) {
        mineShown = StateOf(mine);
        theirsShown = StateOf(second.window);
    });
    EXPECT_EQ(ShowModalMessage("First thread", "First box."), IDOK);
    ASSERT_TRUE(watcher.found());
    bool mineAfterMine = IsWindowEnabled(mine) != FALSE;
    bool theirsAfterMine = IsWindowEnabled(second.window) != FALSE;

    // Our window may own the second box: serve its messages while it closes.
    PostMessageA(FindBox("Second thread"), WM_COMMAND, IDOK, 0);
    WaitUntil([thread] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, true);
    CloseHandle(thread);
    CloseHandle(second.ready);
    CloseHandle(second.go);

    EXPECT_TRUE(mineWhileOnlyTheirs);
    EXPECT_FALSE(theirsWhileOnlyTheirs);
    EXPECT_FALSE(mineShown.enabled);
    EXPECT_FALSE(theirsShown.enabled);
    EXPECT_TRUE(mineAfterMine);
    EXPECT_FALSE(theirsAfterMine) << "the other thread's box still shows";
    EXPECT_EQ(second.result, IDOK);
    EXPECT_TRUE(second.enabledAfter);
    DestroyWindow(front);
    DestroyWindow(mine);
}

// Restoring windows runs their window procedures; one that shows a box then
// must find the shared list free, and its box ends the outer box's records.
TEST(ModalMessageBox, WindowThatShowsABoxWhenEnabledDoesNotHang) {
    REQUIRE_DISPLAY();
    Watchdog watchdog(kPatienceMs * 3);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BoxOnEnableProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "BoxOnEnableWindow";
    RegisterClassA(&windowClass);
    HWND front = MakeWindow("front");
    HWND reacting = CreateWindowA("BoxOnEnableWindow", "reacting", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 200, 100,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_TRUE(MakeForeground(front));

    bool reactingShown = true;
    BoxWatcher outer("Outer box", [&](HWND) { reactingShown = IsWindowEnabled(reacting) != FALSE; });
    BoxWatcher inner("Inner box", nullptr);
    EXPECT_EQ(ShowModalMessage("Outer box", "Disables the reacting window."), IDOK);
    ASSERT_TRUE(outer.found());
    ASSERT_TRUE(inner.found());
    EXPECT_FALSE(reactingShown);
    EXPECT_EQ(boxOnEnableResult, IDOK);
    EXPECT_TRUE(IsWindowEnabled(reacting));
    DestroyWindow(reacting);
    DestroyWindow(front);
}
