// Finding and running other programs on Windows.
#include "platform/windows/system.h"

#include <cctype>
#include <vector>

#include "platform/platform.h"
#include "platform/windows/interrupts.h"
#include "platform/windows/wide_text.h"

static bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static bool EndsWithExe(const std::string& name) {
    if (name.size() < 4) return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end) c = (char)tolower((unsigned char)c);
    return end == ".exe";
}

// Only the directories in PATH, never the current one: a program lying in the
// directory being packed must not be run by mistake.
std::string FindProgram(const std::string& name) {
    if (name.find_first_of("\\/:") != std::string::npos) return IsFile(WidePath(name)) ? name : "";
    std::string file = EndsWithExe(name) ? name : name + ".exe";
    DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::vector<wchar_t> path(size + 1, 0);
    if (size) GetEnvironmentVariableW(L"PATH", path.data(), size + 1);
    std::string directories = Utf8Text(path.data(), wcslen(path.data()));
    size_t start = 0;
    while (start < directories.size()) {
        size_t end = directories.find(';', start);
        if (end == std::string::npos) end = directories.size();
        std::string directory = directories.substr(start, end - start);
        start = end + 1;
        if (directory.size() >= 2 && directory.front() == '"' && directory.back() == '"')
            directory = directory.substr(1, directory.size() - 2);
        if (directory.empty()) continue;
        bool separated = directory.back() == '\\' || directory.back() == '/';
        std::string candidate = directory + (separated ? "" : "\\") + file;
        if (IsFile(WidePath(candidate))) return candidate;
    }
    return "";
}

std::string HowToInstallProgram(const std::string& name) { return "put " + name + ".exe in a directory on PATH"; }

// One argument as the C runtime's parser will read it back: quoted when it
// holds blanks or quotes, with the backslashes before a quote doubled.
static std::wstring QuotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

// The child gets exactly these handles: its input from NUL, its output and
// errors into the pipe; no console, so it cannot stop to prompt.
static bool StartTool(const std::wstring& program, std::wstring commandLine, HANDLE input, HANDLE output,
                      PROCESS_INFORMATION* process) {
    HANDLE inherited[] = {input, output};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributes(size);
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    startup.lpAttributeList = (LPPROC_THREAD_ATTRIBUTE_LIST)attributes.data();
    if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size)) return false;
    bool started = UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                             sizeof(inherited), nullptr, nullptr) &&
                   CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                  CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT, nullptr,
                                  nullptr, &startup.StartupInfo, process);
    DeleteProcThreadAttributeList(startup.lpAttributeList);
    return started;
}

ToolRun RunTool(const std::string& program, const std::vector<std::string>& arguments) {
    ToolRun run;
    std::wstring wideProgram = WidePath(program);
    std::wstring commandLine = L"\"" + WideText(program) + L"\"";
    for (const std::string& argument : arguments) commandLine += L" " + QuotedArgument(WideText(argument));

    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing =
        CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
    PROCESS_INFORMATION process = {};
    bool started = nothing != INVALID_HANDLE_VALUE && StartTool(wideProgram, commandLine, nothing, writeEnd, &process);
    if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
    CloseHandle(writeEnd);   // the child's copy is the only writer left: its end is the pipe's end
    if (!started) {
        CloseHandle(readEnd);
        return run;
    }
    KillOnInterrupt(process.hProcess);
    CloseHandle(process.hThread);
    char buffer[4096];
    DWORD got;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) run.output.append(buffer, got);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    KillOnInterrupt(nullptr);
    CloseHandle(process.hProcess);
    run.started = true;
    run.exitCode = (int)exitCode;
    return run;
}
