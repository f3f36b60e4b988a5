// Code pages through glibc's iconv, and Unicode upper case through its C.UTF-8 locale.
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>

#include "platform/platform.h"

struct CodePageConverter {
    iconv_t toCodePage;
    iconv_t fromCodePage;
};

// The whole text converted, or none when a byte does not convert.
static std::optional<std::string> Convert(iconv_t converter, const std::string& input) {
    std::string output;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);   // back to the initial shift state
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof(buffer);
        size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        output.append(buffer, size_t(out - buffer));
        if (result == (size_t)-1 && errno != E2BIG) return std::nullopt;
    }
    char* out = buffer;   // a stateful code page may end with a shift sequence
    size_t outLeft = sizeof(buffer);
    iconv(converter, nullptr, nullptr, &out, &outLeft);
    output.append(buffer, size_t(out - buffer));
    return output;
}

CodePageConverter* OpenCodePageConverter(const std::string& name) {
    CodePageConverter* converter =
        new CodePageConverter{iconv_open(name.c_str(), "UTF-8"), iconv_open("UTF-8", name.c_str())};
    if (converter->toCodePage != (iconv_t)-1 && converter->fromCodePage != (iconv_t)-1) return converter;
    CloseCodePageConverter(converter);
    return nullptr;
}

void CloseCodePageConverter(CodePageConverter* converter) {
    if (!converter) return;
    if (converter->toCodePage != (iconv_t)-1) iconv_close(converter->toCodePage);
    if (converter->fromCodePage != (iconv_t)-1) iconv_close(converter->fromCodePage);
    delete converter;
}

std::optional<std::string> ConvertToCodePage(CodePageConverter* converter, const std::string& utf8) {
    return Convert(converter->toCodePage, utf8);
}

std::optional<std::string> ConvertFromCodePage(CodePageConverter* converter, const std::string& converted) {
    return Convert(converter->fromCodePage, converted);
}

char32_t UpperCaseCharacter(char32_t character) {
    static locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
    if (unicode) return (char32_t)towupper_l((wint_t)character, unicode);
    return character >= 'a' && character <= 'z' ? character - 'a' + 'A' : character;
}
