// A small Windows program that end-to-end tests let the installer start, to
// observe from the inside what the installer did:
//   probe report REPORT [CREATE...]  writes its working directory, its own
//       path, its command line and a copy of the extraction list to REPORT
//       (in lines cwd=, exe=, cmdline=, list=), then creates each
//       CREATE file (after a short wait, so that a caller that does not wait
//       would have moved on); a CREATE that starts with '+' is instead
//       appended, without the '+', as a line to the extraction list, and one
//       that starts with '?' names a file PATH: the probe creates PATH.waiting
//       and waits for PATH.go, so that the test can act while it runs.
//   probe script SCRIPT               registered for .vbs files: copies SCRIPT
//       to C:\e2e\out\script.copy, waits, then records in C:\e2e\out\script.done
//       whether SCRIPT still exists (it must, while the installer waits).
//   probe hold FILE                   holds FILE open, letting others only read
//       it, from the moment FILE.held appears until FILE.release does.
#include <windows.h>

#include <cstdio>
#include <string>

#include "../../common/whole_file.h"

static const char* const kOutDirectory = "C:\\e2e\\out\\";
static const char* const kListPath = "c:\\raspakiraj.lst";
static const DWORD kWaitMs = 1500;
static const DWORD kSignalTimeoutMs = 60000;

static bool Appears(const std::string& path) {
    for (DWORD waited = 0; waited < kSignalTimeoutMs; waited += 50) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(50);
    }
    return false;
}

static int Report(int argc, char** argv) {
    char directory[MAX_PATH] = "", self[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, directory);
    GetModuleFileNameA(nullptr, self, MAX_PATH);   // which copy of the probe was started
    std::string report = std::string("cwd=") + directory + "\n" + "exe=" + self + "\n" +
                         "cmdline=" + GetCommandLineA() + "\n" + "list=" + ReadWholeFile(kListPath);
    Sleep(kWaitMs);
    std::string appended;
    for (int i = 3; i < argc; ++i) {
        if (argv[i][0] == '+') {
            appended += std::string(argv[i] + 1) + "\r\n";
        } else if (argv[i][0] == '?') {
            WriteWholeFile(std::string(argv[i] + 1) + ".waiting", "");
            Appears(std::string(argv[i] + 1) + ".go");
        } else {
            WriteWholeFile(argv[i], "made by probe");
        }
    }
    if (!appended.empty()) WriteWholeFile(kListPath, ReadWholeFile(kListPath) + appended);
    // Last, and whole at once: its presence means the probe has finished,
    // so a test that waits for it never reads half a report.
    std::string partial = std::string(argv[2]) + ".part";
    WriteWholeFile(partial, report);
    MoveFileExA(partial.c_str(), argv[2], MOVEFILE_REPLACE_EXISTING);
    return 0;
}

static int Script(const char* script) {
    CreateDirectoryA(kOutDirectory, nullptr);
    WriteWholeFile(std::string(kOutDirectory) + "script.copy", ReadWholeFile(script));
    WriteWholeFile(std::string(kOutDirectory) + "script.path", script);
    Sleep(kWaitMs);
    bool present = GetFileAttributesA(script) != INVALID_FILE_ATTRIBUTES;
    WriteWholeFile(std::string(kOutDirectory) + "script.done", present ? "present" : "gone");
    return 0;
}

static int Hold(const std::string& file) {
    HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    WriteWholeFile(file + ".held", "");
    bool released = Appears(file + ".release");
    CloseHandle(held);
    return released ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "report") return Report(argc, argv);
    if (argc >= 3 && std::string(argv[1]) == "script") return Script(argv[2]);
    if (argc >= 3 && std::string(argv[1]) == "hold") return Hold(argv[2]);
    fprintf(stderr, "usage: probe report REPORT [CREATE...] | probe script SCRIPT | probe hold FILE\n");
    return 2;
}
