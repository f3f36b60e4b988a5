#include "pack/names/code_page.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/code_page_table.h"

static std::string KnownNames() {
    std::string known;
    for (const std::string& name : UsualCodePageNames()) known += (known.empty() ? "" : " ") + name;
    return known;
}

Problem OpenCodePage(const std::string& name, CodePage* codePage) {
    CloseCodePage(codePage);
    codePage->name = name;
    codePage->converter = OpenCodePageConverter(name);
    if (!codePage->converter) return "unknown code page '" + name + "' (known: " + KnownNames() + ")";
    std::string ascii;
    for (char c = ' '; c <= '~'; ++c) ascii += c;
    if (ToCodePage(*codePage, ascii) == ascii && FindKnownCodePage(name)) return {};
    // One more character costs 2 or 4 bytes (whatever a byte order mark adds).
    size_t unit = ToCodePage(*codePage, "AA").value_or("").size() - ToCodePage(*codePage, "A").value_or("").size();
    bool keepsAscii = ToCodePage(*codePage, ascii) == ascii;
    CloseCodePage(codePage);
    if (unit == 2 || unit == 4)
        return "'" + name + "' is UTF-" + std::to_string(unit * 8) +
               ", which no Windows uses as its ANSI code page (the one the installer's names are read in)";
    if (!keepsAscii) return "code page '" + name + "' does not keep ASCII characters as they are";
    return "code page '" + name + "' is not one that Windows reads an installer's names in (known: " + KnownNames() +
           ")";
}

std::vector<std::string> CodePagesHolding(const std::vector<std::string>& texts) {
    std::vector<std::string> holding;
    for (const std::string& name : UsualCodePageNames()) {
        CodePage codePage;
        if (OpenCodePage(name, &codePage) || IsUtf8CodePage(codePage)) {
            CloseCodePage(&codePage);
            continue;
        }
        bool holdsAll = true;
        for (size_t index = 0; index < texts.size() && holdsAll; ++index) {
            std::optional<std::string> converted = ToCodePage(codePage, texts[index]);
            holdsAll = converted && std::count(converted->begin(), converted->end(), '\\') ==
                                        std::count(texts[index].begin(), texts[index].end(), '\\');
        }
        if (holdsAll) holding.push_back(name);
        CloseCodePage(&codePage);
    }
    return holding;
}

// An "é" that stays as UTF-8 has it.
bool IsUtf8CodePage(const CodePage& codePage) { return ToCodePage(codePage, "\xC3\xA9") == "\xC3\xA9"; }

void CloseCodePage(CodePage* codePage) {
    CloseCodePageConverter(codePage->converter);
    codePage->converter = nullptr;
}

std::optional<char32_t> NextUtf8Character(const std::string& text, size_t* index) {
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};   // shorter forms are invalid
    size_t at = *index;
    ++*index;
    unsigned char lead = (unsigned char)text[at];
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size()) return std::nullopt;
    uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t next = 1; next < length; ++next) {
        unsigned char byte = (unsigned char)text[at + next];
        if ((byte & 0xC0) != 0x80) return std::nullopt;
        value = value << 6 | (byte & 0x3F);
    }
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
    *index = at + length;
    return value;
}

std::optional<std::u32string> DecodeUtf8(const std::string& text) {
    std::u32string characters;
    size_t index = 0;
    while (index < text.size()) {
        std::optional<char32_t> character = NextUtf8Character(text, &index);
        if (!character) return std::nullopt;
        characters.push_back(*character);
    }
    return characters;
}

bool IsControlCharacter(char32_t character) {
    return character < 0x20 || character == 0x7F || (character >= 0x80 && character <= 0x9F);
}

bool HoldsControlCharacter(const std::string& utf8) {
    for (char32_t character : DecodeUtf8(utf8).value_or(std::u32string()))
        if (IsControlCharacter(character)) return true;
    return false;
}

bool IsValidUtf8(const std::string& text) { return DecodeUtf8(text).has_value(); }

std::optional<std::string> ToCodePage(const CodePage& codePage, const std::string& utf8) {
    if (!IsValidUtf8(utf8)) return std::nullopt;
    return ConvertToCodePage(codePage.converter, utf8);
}

std::optional<std::string> FromCodePage(const CodePage& codePage, const std::string& ansi) {
    return ConvertFromCodePage(codePage.converter, ansi);
}

static std::string Escaped(unsigned value) {
    char escape[8];
    snprintf(escape, sizeof(escape), "\\x%02x", value);
    return escape;
}

std::string PrintableText(const CodePage& codePage, const std::string& ansi) {
    if (std::optional<std::string> utf8 = FromCodePage(codePage, ansi)) return *utf8;
    std::string escaped;
    for (unsigned char c : ansi) escaped += c < 0x80 ? std::string(1, (char)c) : Escaped(c);
    return escaped;
}

std::string TerminalText(const std::string& text) {
    std::string shown;
    for (size_t index = 0; index < text.size();) {
        size_t start = index;
        std::optional<char32_t> character = NextUtf8Character(text, &index);
        if (!character) shown += Escaped((unsigned char)text[start]);
        else if (IsControlCharacter(*character)) shown += Escaped((unsigned)*character);
        else shown.append(text, start, index - start);
    }
    return shown;
}
