#include "pack/code_page.h"

#include <cstdint>
#include <cstdio>

std::string OpenCodePage(const std::string& name, CodePage* codePage) {
    CloseCodePage(codePage);
    codePage->name = name;
    codePage->converter = OpenCodePageConverter(name);
    if (!codePage->converter) return "unknown code page '" + name + "' (" + KnownCodePagesHint() + ")";
    static const std::string ascii = "AZaz09 .\\:/-_$";
    if (ToCodePage(*codePage, ascii) != ascii) {
        CloseCodePage(codePage);
        return "code page '" + name + "' does not keep ASCII characters as they are";
    }
    return "";
}

void CloseCodePage(CodePage* codePage) {
    CloseCodePageConverter(codePage->converter);
    codePage->converter = nullptr;
}

std::optional<std::u32string> DecodeUtf8(const std::string& text) {
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};   // shorter forms are invalid
    std::u32string characters;
    size_t index = 0;
    while (index < text.size()) {
        unsigned char lead = (unsigned char)text[index];
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || index + length > text.size()) return std::nullopt;
        uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t next = 1; next < length; ++next) {
            unsigned char byte = (unsigned char)text[index + next];
            if ((byte & 0xC0) != 0x80) return std::nullopt;
            value = value << 6 | (byte & 0x3F);
        }
        if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
        characters.push_back(value);
        index += length;
    }
    return characters;
}

bool IsValidUtf8(const std::string& text) { return DecodeUtf8(text).has_value(); }

std::optional<std::string> ToCodePage(const CodePage& codePage, const std::string& utf8) {
    if (!IsValidUtf8(utf8)) return std::nullopt;
    return ConvertToCodePage(codePage.converter, utf8);
}

std::optional<std::string> FromCodePage(const CodePage& codePage, const std::string& ansi) {
    return ConvertFromCodePage(codePage.converter, ansi);
}

std::string PrintableText(const CodePage& codePage, const std::string& ansi) {
    if (std::optional<std::string> utf8 = FromCodePage(codePage, ansi)) return *utf8;
    std::string escaped;
    for (unsigned char c : ansi) {
        char hex[8];
        snprintf(hex, sizeof(hex), c < 0x80 ? "%c" : "\\x%02X", c);
        escaped += hex;
    }
    return escaped;
}
