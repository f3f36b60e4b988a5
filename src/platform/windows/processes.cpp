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
// errors into the pipe (or file); no console, so it cannot stop to prompt.
// Environment and directory: this program's unless given.
static bool StartTool(const std::wstring& program, std::wstring commandLine, HANDLE input, HANDLE output,
                      PROCESS_INFORMATION* process, wchar_t* environment = nullptr,
                      const wchar_t* directory = nullptr) {
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
                                  CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT,
                                  environment, directory, &startup.StartupInfo, process);
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

// This program's environment block with the changes made: "NAME=VALUE" sets,
// "NAME" removes (names compared without case, as Windows does).
static std::wstring ChangedEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::wstring> variables;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* at = block; at && *at; at += wcslen(at) + 1) variables.push_back(at);
    if (block) FreeEnvironmentStringsW(block);
    for (const std::string& change : changes) {
        std::wstring wide = WideText(change);
        std::wstring name = wide.substr(0, wide.find(L'=')) + L"=";
        std::vector<std::wstring> kept;
        for (const std::wstring& variable : variables)
            if (_wcsnicmp(variable.c_str(), name.c_str(), name.size()) != 0) kept.push_back(variable);
        if (wide.find(L'=') != std::wstring::npos) kept.push_back(wide);
        variables.swap(kept);
    }
    std::wstring joined;
    for (const std::wstring& variable : variables) joined += variable + L'\0';
    return joined + L'\0';
}

Problem SpawnProgram(const ProgramStart& start, RunningProgram* program) {
    std::string path = FindProgram(start.program);
    if (path.empty()) return start.program + ": not found in PATH";
    std::wstring commandLine = L"\"" + WideText(path) + L"\"";
    for (const std::string& argument : start.arguments) commandLine += L" " + QuotedArgument(WideText(argument));
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE output =
        CreateFileW(WidePath(start.outputPath).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return start.outputPath + ": " + LastErrorText();
    HANDLE nothing =
        CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
    std::wstring environment = ChangedEnvironment(start.environment);
    std::wstring directory = start.directory.empty() ? L"" : WidePath(start.directory);
    PROCESS_INFORMATION process = {};
    bool started =
        nothing != INVALID_HANDLE_VALUE && StartTool(WidePath(path), commandLine, nothing, output, &process,
                                                     &environment[0], directory.empty() ? nullptr : directory.c_str());
    Problem problem = started ? Problem() : Problem("cannot start " + path + ": " + LastErrorText());
    if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
    CloseHandle(output);
    if (!started) return problem;
    CloseHandle(process.hThread);
    program->handle = (intptr_t)process.hProcess;
    return {};
}

ProgramState WaitForProgram(RunningProgram* program, int64_t milliseconds, bool interruptible, int* exitCode) {
    HANDLE process = (HANDLE)program->handle;
    HANDLE events[] = {process, InterruptEvent()};
    DWORD limit = milliseconds < 0 ? INFINITE : (DWORD)(milliseconds > 0x7FFFFFFF ? 0x7FFFFFFF : milliseconds);
    DWORD woken = WaitForMultipleObjects(interruptible ? 2 : 1, events, FALSE, limit);
    if (woken == WAIT_OBJECT_0 + 1) return PROGRAM_WAIT_INTERRUPTED;
    if (woken != WAIT_OBJECT_0) return PROGRAM_RUNNING;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    *exitCode = (int)code;
    CloseHandle(process);
    program->handle = -1;
    return PROGRAM_ENDED;
}

void StopProgram(RunningProgram* program) {
    if (program->handle == -1) return;
    HANDLE process = (HANDLE)program->handle;
    TerminateProcess(process, STATUS_CONTROL_C_EXIT);
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
    program->handle = -1;
}

Problem WineHostProblem() {
    return "it runs the installer under Wine, on Linux; on Windows, run the installer itself (in Windows Sandbox or "
           "a virtual machine, for a clean system)";
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
    std::wstring wide = WideText(name);
    DWORD size = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;
    std::vector<wchar_t> value(size + 1, 0);
    DWORD length = GetEnvironmentVariableW(wide.c_str(), value.data(), size + 1);
    return Utf8Text(value.data(), length);
}
