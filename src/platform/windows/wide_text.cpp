#include "platform/windows/wide_text.h"

#include <vector>

// Code points through the generalized UTF-8 that also holds surrogates, so
// that every name the system lists converts back to the same name.
std::wstring WideText(const std::string& utf8) {
    std::wstring wide;
    size_t index = 0;
    while (index < utf8.size()) {
        unsigned char lead = (unsigned char)utf8[index];
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length != 0 && index + length <= utf8.size();
        for (size_t next = 1; valid && next < length; ++next) {
            unsigned char byte = (unsigned char)utf8[index + next];
            valid = (byte & 0xC0) == 0x80;
            value = value << 6 | (byte & 0x3F);
        }
        static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || value < smallest[length] || value > 0x10FFFF) {
            wide += L'\xFFFD';
            ++index;
            continue;
        }
        if (value >= 0x10000) {
            wide += wchar_t(0xD800 + ((value - 0x10000) >> 10));
            wide += wchar_t(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            wide += wchar_t(value);
        }
        index += length;
    }
    return wide;
}

std::string Utf8Text(const wchar_t* wide, size_t length) {
    std::string utf8;
    for (size_t index = 0; index < length; ++index) {
        uint32_t value = (uint16_t)wide[index];
        bool high = value >= 0xD800 && value <= 0xDBFF;
        if (high && index + 1 < length && wide[index + 1] >= 0xDC00 && wide[index + 1] <= 0xDFFF)
            value = 0x10000 + ((value - 0xD800) << 10) + ((uint16_t)wide[++index] - 0xDC00);
        if (value < 0x80) {
            utf8 += char(value);
        } else if (value < 0x800) {
            utf8 += char(0xC0 | value >> 6);
            utf8 += char(0x80 | (value & 0x3F));
        } else if (value < 0x10000) {
            utf8 += char(0xE0 | value >> 12);
            utf8 += char(0x80 | (value >> 6 & 0x3F));
            utf8 += char(0x80 | (value & 0x3F));
        } else {
            utf8 += char(0xF0 | value >> 18);
            utf8 += char(0x80 | (value >> 12 & 0x3F));
            utf8 += char(0x80 | (value >> 6 & 0x3F));
            utf8 += char(0x80 | (value & 0x3F));
        }
    }
    return utf8;
}

std::string Utf8Text(const std::wstring& wide) { return Utf8Text(wide.data(), wide.size()); }

std::wstring WidePath(const std::string& path) {
    std::wstring wide = WideText(path);
    // Room for the 8.3 name that CreateDirectory needs below MAX_PATH.
    if (wide.size() < MAX_PATH - 12 || wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::vector<wchar_t> full(size + 1);
    DWORD length = size ? GetFullPathNameW(wide.c_str(), size + 1, full.data(), nullptr) : 0;
    if (length == 0 || length > size) return wide;
    std::wstring absolute(full.data(), length);
    if (absolute.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + absolute.substr(2);
    return L"\\\\?\\" + absolute;
}

std::string SystemErrorText(DWORD error) {
    wchar_t* message = nullptr;
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, (wchar_t*)&message, 0, nullptr);
    std::string text = length ? Utf8Text(message, length) : "";
    if (message) LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();   // it ends a clause of the builder's sentence
    return text.empty() ? "system error " + std::to_string(error) : text;
}

std::string LastErrorText() { return SystemErrorText(GetLastError()); }
