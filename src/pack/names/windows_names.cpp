#include "pack/names/windows_names.h"

#include <cctype>
#include <cstring>

#include "pack/names/code_page.h"

static bool IsReservedDeviceName(const std::string& component) {
    // The device names stay reserved with any extension: "con.txt" is CON.
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = (char)toupper((unsigned char)c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0);
    return numbered && base[3] >= '1' && base[3] <= '9';
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
