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

CodePageConverter* OpenCodePageConverter(const std::string& name) {
    CodePageConverter* converter =
        new CodePageConverter{iconv_open(name.c_str(), "UTF-8"), iconv_open("UTF-8", name.c_str())};
    if (converter->toCodePage != (iconv_t)-1 && converter->fromCodePage != (iconv_t)-1) return converter;
    CloseCodePageConverter(converter);
    return nullptr;
}

std::string KnownCodePagesHint() { return "see iconv --list"; }

void CloseCodePageConverter(CodePageConverter* converter) {
    if (!converter) return;
    if (converter->toCodePage != (iconv_t)-1) iconv_close(converter->toCodePage);
    if (converter->fromCodePage != (iconv_t)-1) iconv_close(converter->fromCodePage);
    delete converter;
}

bool ConvertToCodePage(CodePageConverter* converter, const std::string& utf8, std::string* converted) {
    return Convert(converter->toCodePage, utf8, converted);
}

bool ConvertFromCodePage(CodePageConverter* converter, const std::string& converted, std::string* utf8) {
    return Convert(converter->fromCodePage, converted, utf8);
}

char32_t UpperCaseCharacter(char32_t character) {
    static locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
    if (unicode) return (char32_t)towupper_l((wint_t)character, unicode);
    return character >= 'a' && character <= 'z' ? character - 'a' + 'A' : character;
}
