#include "pack/trial/relay_trace.h"

#include <cctype>
#include <map>

#include "pack/trial/windows_paths.h"

const char* const TRACED_FUNCTIONS =
    "user32.MessageBoxA;user32.MessageBoxW;"
    "kernel32.CreateProcessA;kernel32.CreateProcessW;kernelbase.CreateProcessA;kernelbase.CreateProcessW;"
    "kernel32.SetCurrentDirectoryA;kernel32.SetCurrentDirectoryW;"
    "kernelbase.SetCurrentDirectoryA;kernelbase.SetCurrentDirectoryW";

namespace {

// An argument as the trace shows it: a number, and for a string its text.
struct Argument {
    bool isText = false;
    std::string text;   // UTF-8
};

struct PendingCall {
    std::string function;   // "CreateProcessA"
    std::vector<Argument> arguments;
    std::string startedProcess;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The string at *at, just after its opening quote, as Wine's debug output
// escapes it: \n \r \t \" \\, and other characters as \x with two hex digits
// (a byte) or, in a wide string, four (a UTF-16 unit). A long string is cut,
// and "..." follows its closing quote.
std::string ReadQuoted(const std::string& line, size_t* at, bool wide, const CodePage& codePage) {
    std::string bytes;
    std::u16string units;
    auto put = [&](unsigned value) { wide ? units.push_back((char16_t)value) : bytes.push_back((char)value); };
    size_t index = *at;
    for (; index < line.size() && line[index] != '"'; ++index) {
        if (line[index] != '\\' || index + 1 >= line.size()) {
            put((unsigned char)line[index]);
            continue;
        }
        char escaped = line[++index];
        if (escaped == 'x') {
            unsigned value = 0;
            for (int digit = 0; digit < (wide ? 4 : 2) && index + 1 < line.size() && HexValue(line[index + 1]) >= 0;
                 ++digit)
                value = value * 16 + (unsigned)HexValue(line[++index]);
            put(value);
        } else {
            put(escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == 't' ? '\t' : (unsigned char)escaped);
        }
    }
    *at = index + 1;
    bool cut = line.compare(*at, 3, "...") == 0;
    if (cut) *at += 3;
    std::string text = wide ? Utf8FromUtf16(units) : PrintableText(codePage, bytes);
    return cut ? text + "..." : text;
}

// The arguments between the parentheses that start at *at.
std::vector<Argument> ReadArguments(const std::string& line, size_t at, const CodePage& codePage) {
    std::vector<Argument> arguments;
    if (at >= line.size() || line[at] != '(') return arguments;
    ++at;
    while (at < line.size() && line[at] != ')') {
        Argument argument;
        while (at < line.size() && isxdigit((unsigned char)line[at])) ++at;
        if (line.compare(at, 2, " \"") == 0 || line.compare(at, 3, " L\"") == 0) {
            bool wide = line[at + 1] == 'L';
            at += wide ? 3 : 2;
            argument.isText = true;
            argument.text = ReadQuoted(line, &at, wide, codePage);
        }
        arguments.push_back(argument);
        if (at < line.size() && line[at] == ',') ++at;
        else break;
    }
    return arguments;
}

// "user32.MessageBoxA(" after "Call " or "Ret  ": the function's name, and
// where its parenthesis is; empty for the loader's and window procedures' lines.
std::string FunctionAt(const std::string& line, size_t start, size_t* parenthesis) {
    size_t open = line.find('(', start);
    if (open == std::string::npos) return "";
    std::string name = line.substr(start, open - start);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find(' ') != std::string::npos) return "";
    *parenthesis = open;
    return name.substr(dot + 1);
}

bool StartsWith(const std::string& text, size_t at, const char* prefix) {
    return text.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool IsProgramStart(const std::string& function) { return function.compare(0, 13, "CreateProcess") == 0; }

struct TraceReader {
    const CodePage& codePage;
    std::u32string installerKey;
    std::string installerProcess;
    std::string directory;
    std::map<std::string, std::vector<PendingCall>> pending;   // by thread
    RelayTrace trace;
};

void ReadCall(TraceReader* reader, const std::string& process, const std::string& thread, const std::string& line,
              size_t at) {
    size_t parenthesis;
    std::string function = FunctionAt(line, at, &parenthesis);
    if (function.empty() || process != reader->installerProcess) return;
    std::vector<Argument> arguments = ReadArguments(line, parenthesis, reader->codePage);
    if (function.compare(0, 10, "MessageBox") == 0) {
        if (arguments.size() >= 3) reader->trace.boxes.push_back({arguments[2].text, arguments[1].text});
        return;
    }
    std::vector<PendingCall>& calls = reader->pending[thread];
    // A start within a start is the same one, seen through another DLL.
    if (IsProgramStart(function) && !calls.empty() && IsProgramStart(calls.back().function)) function = "nested";
    calls.push_back({function, arguments, ""});
}

void ReadReturn(TraceReader* reader, const std::string& thread, const std::string& line, size_t at) {
    size_t parenthesis;
    std::string function = FunctionAt(line, at, &parenthesis);
    std::vector<PendingCall>& calls = reader->pending[thread];
    if (function.empty() || calls.empty()) return;
    PendingCall call = calls.back();
    calls.pop_back();
    size_t value = line.find("retval=", parenthesis);
    bool succeeded = value != std::string::npos && line.find_first_not_of('0', value + 7) != line.find(' ', value);
    if (!succeeded) return;
    const std::vector<Argument>& arguments = call.arguments;
    if (IsProgramStart(call.function) && arguments.size() >= 8) {
        std::string command = arguments[1].isText ? arguments[1].text : arguments[0].text;
        std::string directory = arguments[7].isText ? arguments[7].text : reader->directory;
        reader->trace.starts.push_back({command, directory, call.startedProcess});
    } else if (call.function.compare(0, 19, "SetCurrentDirectory") == 0 && !arguments.empty()) {
        std::string directory = AbsoluteOnDriveC(arguments[0].text, reader->directory);
        if (!directory.empty()) reader->directory = directory + (directory.back() == '\\' ? "" : "\\");
    }
}

void ReadLine(TraceReader* reader, const std::string& line) {
    size_t first = line.find(':'), second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) return;
    std::string process = line.substr(0, first), thread = line.substr(0, second);
    size_t at = second + 1;
    if (StartsWith(line, at, "Call PE DLL (") &&
        line.find("L\"ntdll.dll\",reason=PROCESS_DETACH") != std::string::npos) {
        reader->trace.endedProcesses.insert(process);
    } else if (StartsWith(line, at, "Call ")) {
        ReadCall(reader, process, thread, line, at + 5);
    } else if (StartsWith(line, at, "Ret  ")) {
        ReadReturn(reader, thread, line, at + 5);
    } else if (StartsWith(line, at, "trace:process:CreateProcessInternalW started process pid ")) {
        std::vector<PendingCall>& calls = reader->pending[thread];
        size_t pid = at + 57;
        if (!calls.empty()) calls.back().startedProcess = line.substr(pid, line.find(' ', pid) - pid);
    } else if (StartsWith(line, at, "trace:loaddll:") && reader->installerProcess.empty()) {
        size_t quote = line.find("Loaded L\"", at);
        if (quote == std::string::npos) return;
        size_t text = quote + 9;
        if (PathKey(ReadQuoted(line, &text, true, reader->codePage)) == reader->installerKey) {
            reader->installerProcess = process;
            reader->trace.installerSeen = true;
        }
    }
}

}   // namespace

RelayTrace ReadRelayTrace(const std::string& log, const std::string& installerPath, const std::string& startDirectory,
                          const CodePage& codePage) {
    TraceReader reader{codePage, PathKey(installerPath), "", startDirectory, {}, {}};
    for (size_t start = 0, end; start < log.size(); start = end + 1) {
        end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        ReadLine(&reader, log.substr(start, end - start));
    }
    return reader.trace;
}
