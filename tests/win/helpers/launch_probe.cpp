// A small console program that the launcher and message box tests start, to
// see from the inside how it was started:
//   launch_probe report FILE        writes how it was started (below) to FILE
//   launch_probe sleep MS FILE      waits MS milliseconds, then writes FILE
//   launch_probe await GO FILE      waits until GO exists (a minute at most),
//                                   then writes FILE
//   launch_probe emit TEXT          writes "out:TEXT" to standard output and
//                                   "err:TEXT" to standard error
//   launch_probe upper              copies standard input to standard output
//                                   in capitals, up to the end of the input
//   launch_probe document DOC       registered for test documents: waits the
//                                   milliseconds that DOC holds, then reports
//                                   to DOC.out
//   launch_probe window TITLE       shows a window named TITLE, brings it to
//                                   the foreground and runs until it is closed
// A report holds one "name=value" line each for: cmdline, cwd, startflags,
// show, stdin, stdout, stderr (1 when the handle is a pipe), console (1 when
// the program shares a console, 0 when it was started without one).
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>

#include "../../common/whole_file.h"

static int IsPipe(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_PIPE;
}

static void Report(const std::string& path) {
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, directory);
    std::ostringstream report;
    report << "cmdline=" << GetCommandLineA() << "\n"
           << "cwd=" << directory << "\n"
           << "startflags=" << startup.dwFlags << "\n"
           << "show=" << startup.wShowWindow << "\n"
           << "stdin=" << IsPipe(STD_INPUT_HANDLE) << "\n"
           << "stdout=" << IsPipe(STD_OUTPUT_HANDLE) << "\n"
           << "stderr=" << IsPipe(STD_ERROR_HANDLE)
           << "\n"
           // Last, since a new console replaces the standard handles.
           << "console=" << (AllocConsole() ? 0 : 1) << "\n";
    WriteWholeFile(path, report.str());
}

static void Write(DWORD which, const std::string& text) {
    DWORD written;
    WriteFile(GetStdHandle(which), text.data(), (DWORD)text.size(), &written, nullptr);
}

static void Upper() {
    char buffer[512];
    DWORD got;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &got, nullptr) && got) {
        for (DWORD i = 0; i < got; i++) buffer[i] = (char)toupper((unsigned char)buffer[i]);
        Write(STD_OUTPUT_HANDLE, std::string(buffer, got));
    }
}

static LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

static void ShowWindowUntilClosed(const std::string& title) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ProbeWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LaunchProbeWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("LaunchProbeWindow", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
    SetForegroundWindow(window);
    SetTimer(nullptr, 0, 60000, nullptr);   // never outlive a test that forgot to close it
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) DispatchMessageA(&message);
}

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "report" && argc > 2) {
        Report(argv[2]);
    } else if (mode == "sleep" && argc > 3) {
        Sleep((DWORD)atoi(argv[2]));
        WriteWholeFile(argv[3], "done");
    } else if (mode == "await" && argc > 3) {
        for (int waited = 0; waited < 60000 && GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES; waited += 20)
            Sleep(20);
        WriteWholeFile(argv[3], "done");
    } else if (mode == "emit" && argc > 2) {
        Write(STD_OUTPUT_HANDLE, std::string("out:") + argv[2]);
        Write(STD_ERROR_HANDLE, std::string("err:") + argv[2]);
    } else if (mode == "upper") {
        Upper();
    } else if (mode == "document" && argc > 2) {
        Sleep((DWORD)atoi(ReadWholeFile(argv[2]).c_str()));
        Report(std::string(argv[2]) + ".out");
    } else if (mode == "window" && argc > 2) {
        ShowWindowUntilClosed(argv[2]);
    } else {
        return 2;
    }
    return 0;
}
