#include "pack/code_page.h"

#include <cerrno>
#include <cstdint>

// Converts the whole text, or fails on the first byte that does not convert.
static bool Convert(iconv_t converter, const std::string& input, std::string* output) {
    output->clear();
    iconv(converter, nullptr, nullptr, nullptr, nullptr);   // back to the initial shift state
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof(buffer);
        size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        output->append(buffer, size_t(out - buffer));
        if (result == (size_t)-1 && errno != E2BIG) return false;
    }
    char* out = buffer;   // a stateful code page may end with a shift sequence
    size_t outLeft = sizeof(buffer);
    iconv(converter, nullptr, nullptr, &out, &outLeft);
    output->append(buffer, size_t(out - buffer));
    return true;
}

std::string OpenCodePage(const std::string& name, CodePage* codePage) {
    CloseCodePage(codePage);
    codePage->name = name;
    codePage->toAnsi = iconv_open(name.c_str(), "UTF-8");
    codePage->fromAnsi = iconv_open("UTF-8", name.c_str());
    if (codePage->toAnsi == (iconv_t)-1 || codePage->fromAnsi == (iconv_t)-1) {
        CloseCodePage(codePage);
        return "unknown code page '" + name + "' (see iconv --list)";
    }
    static const std::string ascii = "AZaz09 .\\:/-_$";
    std::string converted;
    if (!ToCodePage(*codePage, ascii, &converted) || converted != ascii) {
        CloseCodePage(codePage);
        return "code page '" + name + "' does not keep ASCII characters as they are";
    }
    return "";
}

void CloseCodePage(CodePage* codePage) {
    if (codePage->toAnsi != (iconv_t)-1) iconv_close(codePage->toAnsi);
    if (codePage->fromAnsi != (iconv_t)-1) iconv_close(codePage->fromAnsi);
    codePage->toAnsi = codePage->fromAnsi = (iconv_t)-1;
}

bool DecodeUtf8(const std::string& text, std::u32string* characters) {
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};   // shorter forms are invalid
    if (characters) characters->clear();
    size_t index = 0;
    while (index < text.size()) {
        unsigned char lead = (unsigned char)text[index];
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || index + length > text.size()) return false;
        uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t next = 1; next < length; ++next) {
            unsigned char byte = (unsigned char)text[index + next];
            if ((byte & 0xC0) != 0x80) return false;
            value = value << 6 | (byte & 0x3F);
        }
        if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        if (characters) characters->push_back(value);
        index += length;
    }
    return true;
}

bool IsValidUtf8(const std::string& text) { return DecodeUtf8(text, nullptr); }

bool ToCodePage(const CodePage& codePage, const std::string& utf8, std::string* ansi) {
    return IsValidUtf8(utf8) && Convert(codePage.toAnsi, utf8, ansi);
}

bool FromCodePage(const CodePage& codePage, const std::string& ansi, std::string* utf8) {
    return Convert(codePage.fromAnsi, ansi, utf8);
}
