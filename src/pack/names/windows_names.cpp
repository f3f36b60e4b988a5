#include "pack/names/windows_names.h"

#include <cctype>
#include <cstring>

#include "pack/names/code_page.h"

// The device names stay reserved with any extension: "con.txt" is CON, and
// so is "CON .txt". COM and LPT take a digit, 0 too, or a superscript one.
static bool IsReservedDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = (char)toupper((unsigned char)c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    if (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0) return false;
    std::string number = base.substr(3);
    for (const char* digit : {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"})   // UTF-8 of the superscripts 1, 2 and 3
        if (number == digit) return true;
    return number.size() == 1 && number[0] >= '0' && number[0] <= '9';
}

Problem WindowsNameProblem(const std::string& component) {
    if (component.empty()) return "has an empty name";
    for (char c : component) {
        if ((unsigned char)c < 0x20) return "holds a control character, which Windows forbids in names";
        if (strchr("<>:\"/\\|?*", c)) return std::string("holds '") + c + "', which Windows forbids in names";
    }
    if (component.back() == ' ' || component.back() == '.')
        return "ends with a space or a dot, which Windows drops from names";
    if (IsReservedDeviceName(component)) return "is a device name that Windows reserves";
    std::optional<std::u32string> characters = DecodeUtf8(component);
    if (characters && characters->size() > MAX_NAME_LENGTH)
        return "is " + std::to_string(characters->size()) + " characters long; Windows allows " +
               std::to_string(MAX_NAME_LENGTH) + " in a name";
    return {};
}

Problem ShortNameProblem(const std::string& component) {
    if (component.find('~') == std::string::npos) return {};
    size_t dot = component.find('.');
    std::string base = component.substr(0, dot), extension = dot == std::string::npos ? "" : component.substr(dot + 1);
    auto characters = [](const std::string& text) { return DecodeUtf8(text).value_or(std::u32string()).size(); };
    if (base.empty() || characters(base) > 8 || characters(extension) > 3 || extension.find('.') != std::string::npos)
        return {};
    return "is shaped like a short (8.3) name, which Windows gives a file with a longer one ('LONGFI~1.TXT' for "
           "'longfilename.txt'): where the user has such a file, the installer would write over it; rename it "
           "without the '~' or with a longer base or extension";
}

std::string AsciiLowercase(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    return lower;
}

std::u32string CaseFoldedKey(const std::string& utf8) {
    std::u32string characters = DecodeUtf8(utf8).value_or(std::u32string());
    for (char32_t& c : characters) c = UpperCaseCharacter(c);
    return characters;
}
