// Code pages through the system's conversion functions, and Unicode upper case
// through its invariant locale. The names are those that iconv takes on Linux
// for the code pages that Windows also has and that keep ASCII as it is.
#include "platform/windows/system.h"

#include <cctype>

#include "platform/platform.h"
#include "platform/windows/wide_text.h"

namespace {

struct KnownCodePage {
    const char* names;   // separated by spaces, the usual one first
    UINT number;
    // Windows maps the bytes these code pages leave undefined to the C1
    // controls U+0080..U+009F; iconv, and so the Linux builder, refuses them.
    bool controlsUndefined;
};

const KnownCodePage CODE_PAGES[] = {
    {"WINDOWS-1250 CP1250 MS-EE", 1250, true},
    {"WINDOWS-1251 CP1251 MS-CYRL", 1251, true},
    {"WINDOWS-1252 CP1252 MS-ANSI", 1252, true},
    {"WINDOWS-1253 CP1253 MS-GREEK", 1253, true},
    {"WINDOWS-1254 CP1254 MS-TURK", 1254, true},
    {"WINDOWS-1255 CP1255 MS-HEBR", 1255, true},
    {"WINDOWS-1256 CP1256 MS-ARAB", 1256, true},
    {"WINDOWS-1257 CP1257 WINBALTRIM", 1257, true},
    {"WINDOWS-1258 CP1258", 1258, true},
    {"WINDOWS-874 CP874", 874, true},
    {"CP437 IBM437 437", 437, false},
    {"CP737", 737, false},
    {"CP775 IBM775", 775, false},
    {"CP850 IBM850 850", 850, false},
    {"CP852 IBM852 852", 852, false},
    {"CP855 IBM855 855", 855, false},
    {"CP857 IBM857 857", 857, false},
    {"CP860 IBM860 860", 860, false},
    {"CP861 IBM861 861", 861, false},
    {"CP862 IBM862 862", 862, false},
    {"CP863 IBM863 863", 863, false},
    {"CP864 IBM864 864", 864, false},
    {"CP865 IBM865 865", 865, false},
    {"CP866 IBM866 866", 866, false},
    {"CP869 IBM869 869", 869, false},
    {"ISO-8859-1 ISO8859-1 ISO_8859-1 LATIN1 L1", 28591, false},
    {"ISO-8859-2 ISO8859-2 ISO_8859-2 LATIN2 L2", 28592, false},
    {"ISO-8859-3 ISO8859-3 ISO_8859-3 LATIN3 L3", 28593, false},
    {"ISO-8859-4 ISO8859-4 ISO_8859-4 LATIN4 L4", 28594, false},
    {"ISO-8859-5 ISO8859-5 ISO_8859-5 CYRILLIC", 28595, false},
    {"ISO-8859-6 ISO8859-6 ISO_8859-6 ARABIC", 28596, false},
    {"ISO-8859-7 ISO8859-7 ISO_8859-7 GREEK", 28597, false},
    {"ISO-8859-8 ISO8859-8 ISO_8859-8 HEBREW", 28598, false},
    {"ISO-8859-9 ISO8859-9 ISO_8859-9 LATIN5 L5", 28599, false},
    {"ISO-8859-13 ISO8859-13 ISO_8859-13 LATIN7 L7", 28603, false},
    {"ISO-8859-15 ISO8859-15 ISO_8859-15 LATIN-9 LATIN9", 28605, false},
    {"KOI8-R", 20866, false},
    {"KOI8-U", 21866, false},
    {"US-ASCII ASCII ANSI_X3.4-1968", 20127, false},
    {"UTF-8 UTF8", CP_UTF8, false},
    {"CP932 WINDOWS-31J", 932, true},
    {"CP936 GBK", 936, true},
    {"CP949 UHC", 949, true},
    {"CP950", 950, true},
};

bool NamesIt(const char* names, const std::string& name) {
    std::string upper;
    for (char c : name) upper += (char)toupper((unsigned char)c);
    std::string list = std::string(" ") + names + " ";
    return !upper.empty() && upper.find(' ') == std::string::npos && list.find(" " + upper + " ") != std::string::npos;
}

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
    for (const KnownCodePage& codePage : CODE_PAGES)
        if (NamesIt(codePage.names, name) && IsValidCodePage(codePage.number)) return new CodePageConverter{&codePage};
    return nullptr;
}

std::string KnownCodePagesHint() {
    std::string known = "known here:";
    for (const KnownCodePage& codePage : CODE_PAGES) {
        std::string names = codePage.names;
        known += " " + names.substr(0, names.find(' '));
    }
    return known;
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
