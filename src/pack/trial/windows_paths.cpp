#include "pack/trial/windows_paths.h"

#include "pack/names/target_directory.h"
#include "pack/names/windows_names.h"

namespace {

void PutUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        *out += (char)c;
    } else if (c < 0x800) {
        *out += (char)(0xC0 | c >> 6);
        *out += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += (char)(0xE0 | c >> 12);
        *out += (char)(0x80 | (c >> 6 & 0x3F));
        *out += (char)(0x80 | (c & 0x3F));
    } else {
        *out += (char)(0xF0 | c >> 18);
        *out += (char)(0x80 | (c >> 12 & 0x3F));
        *out += (char)(0x80 | (c >> 6 & 0x3F));
        *out += (char)(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c < 0xE000; }

}   // namespace

std::string Utf8FromUtf16(const std::u16string& text) {
    std::string utf8;
    for (size_t index = 0; index < text.size(); ++index) {
        char32_t c = text[index];
        if (IsHighSurrogate(c) && index + 1 < text.size() && IsLowSurrogate(text[index + 1]))
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++index] - 0xDC00);
        else if (IsHighSurrogate(c) || IsLowSurrogate(c)) c = 0xFFFD;
        PutUtf8(c, &utf8);
    }
    return utf8;
}

std::string WindowsPathOf(const std::string& relative) {
    std::string path = "C:\\" + relative;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

std::string AbsoluteOnDriveC(const std::string& path, const std::string& directory) {
    std::string windows = path;
    for (char& c : windows) c = c == '/' ? '\\' : c;
    if (windows.compare(0, 2, "\\\\") == 0) return "";
    if (windows.size() >= 2 && windows[1] == ':') {
        if (windows[0] != 'C' && windows[0] != 'c') return "";
        windows = windows.substr(2);   // "C:name" is relative to the current directory, on C: too
    }
    windows = !windows.empty() && windows[0] == '\\' ? "C:" + windows : directory + windows;
    std::string resolved = ResolvedTarget(windows + "\\");
    return resolved.size() > 3 ? resolved.substr(0, resolved.size() - 1) : resolved;
}

std::u32string PathKey(const std::string& windowsPath) {
    std::string path = windowsPath;
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return CaseFoldedKey(path);
}
