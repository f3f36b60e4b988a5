// Code pages through the system's conversion functions, by the names of the
// table in code_page_table.cpp, and Unicode upper case through its invariant
// locale.
#include "platform/windows/system.h"

#include "platform/code_page_table.h"
#include "platform/platform.h"
#include "platform/windows/wide_text.h"

namespace {

bool HasControlCharacters(const std::wstring& wide) {
    for (wchar_t c : wide)
        if (c >= 0x80 && c <= 0x9F) return true;
    return false;
}

// UTF-8 without surrogates, as iconv reads it; none for any other text.
std::optional<std::wstring> StrictWide(const std::string& utf8) {
    std::wstring wide;
    if (utf8.empty()) return wide;
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(), nullptr, 0);
    if (length <= 0) return std::nullopt;
    wide.resize((size_t)length);
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(), &wide[0], length) != length)
        return std::nullopt;
    return wide;
}

}   // namespace

struct CodePageConverter {
    const KnownCodePage* codePage;
};

CodePageConverter* OpenCodePageConverter(const std::string& name) {
    const KnownCodePage* codePage = FindKnownCodePage(name);
    if (codePage && IsValidCodePage(codePage->number)) return new CodePageConverter{codePage};
    return nullptr;
}

void CloseCodePageConverter(CodePageConverter* converter) { delete converter; }

std::optional<std::string> ConvertToCodePage(CodePageConverter* converter, const std::string& utf8) {
    std::optional<std::wstring> wide = StrictWide(utf8);
    if (!wide) return std::nullopt;
    const KnownCodePage& codePage = *converter->codePage;
    if (codePage.controlsUndefined && HasControlCharacters(*wide)) return std::nullopt;
    if (codePage.number == CP_UTF8 || wide->empty()) return utf8;
    // No best fit ("A" for "Ā"): a character the code page lacks is refused.
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(codePage.number, WC_NO_BEST_FIT_CHARS, wide->data(), (int)wide->size(), nullptr, 0,
                                     nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string converted((size_t)length, 0);
    length = WideCharToMultiByte(codePage.number, WC_NO_BEST_FIT_CHARS, wide->data(), (int)wide->size(), &converted[0],
                                 length, nullptr, &usedDefault);
    if (length != (int)converted.size() || usedDefault) return std::nullopt;
    return converted;
}

std::optional<std::string> ConvertFromCodePage(CodePageConverter* converter, const std::string& converted) {
    if (converted.empty()) return std::string();
    const KnownCodePage& codePage = *converter->codePage;
    int length =
        MultiByteToWideChar(codePage.number, MB_ERR_INVALID_CHARS, converted.data(), (int)converted.size(), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide((size_t)length, 0);
    if (MultiByteToWideChar(codePage.number, MB_ERR_INVALID_CHARS, converted.data(), (int)converted.size(), &wide[0],
                            length) != length)
        return std::nullopt;
    if (codePage.controlsUndefined && HasControlCharacters(wide)) return std::nullopt;
    return Utf8Text(wide);
}

char32_t UpperCaseCharacter(char32_t character) {
    if (character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) return character;
    std::wstring wide;
    if (character >= 0x10000) {
        wide += wchar_t(0xD800 + ((character - 0x10000) >> 10));
        wide += wchar_t(0xDC00 + ((character - 0x10000) & 0x3FF));
    } else {
        wide += wchar_t(character);
    }
    wchar_t upper[2];
    int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), (int)wide.size(), upper, 2, nullptr,
                               nullptr, 0);
    if (length == 1) return (char32_t)(uint16_t)upper[0];
    if (length == 2 && upper[0] >= 0xD800 && upper[0] <= 0xDBFF)
        return 0x10000 + ((char32_t)(upper[0] - 0xD800) << 10) + (char32_t)(upper[1] - 0xDC00);
    return character;
}
