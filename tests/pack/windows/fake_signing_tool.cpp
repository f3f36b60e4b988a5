// A stand-in osslsigncode.exe for the tests of sfxpack.exe: it prints its
// arguments as the C runtime read them, one a line, and fails with exit code
// 3; with SFX_FAKE_TOOL_LATE set it instead creates the file that variable
// names (it has started), waits a second, writes its last argument's file and
// succeeds, as a slow tool would.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

static std::string Utf8(const wchar_t* text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(length > 0 ? (size_t)length : 1, 0);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], length, nullptr, nullptr);
    utf8.pop_back();
    return utf8;
}

int wmain(int argc, wchar_t** argv) {
    if (const char* started = getenv("SFX_FAKE_TOOL_LATE")) {
        if (FILE* note = fopen(started, "wb")) fclose(note);
        Sleep(1000);
        FILE* late = _wfopen(argv[argc - 1], L"wb");
        if (late) fclose(late);
        return 0;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    for (int index = 1; index < argc; ++index) printf("%s\n", Utf8(argv[index]).c_str());
    return 3;
}
