#include "platform/code_page_table.h"

#include <cctype>

const std::vector<KnownCodePage>& KnownCodePages() {
    static const std::vector<KnownCodePage> codePages = {
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
        {"CP865 IBM865 865", 865, false},
        {"CP866 IBM866 866", 866, false},
        {"CP869 IBM869 869", 869, true},
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
        {"UTF-8 UTF8", 65001, false},   // CP_UTF8
        {"CP932 WINDOWS-31J", 932, true},
        {"CP936 GBK", 936, true},
        {"CP949 UHC", 949, true},
        {"CP950", 950, true},
    };
    return codePages;
}

std::vector<std::string> UsualCodePageNames() {
    std::vector<std::string> usual;
    for (const KnownCodePage& codePage : KnownCodePages()) {
        std::string names = codePage.names;
        usual.push_back(names.substr(0, names.find(' ')));
    }
    return usual;
}

const KnownCodePage* FindKnownCodePage(const std::string& name) {
    std::string upper;
    for (char c : name) upper += (char)toupper((unsigned char)c);
    if (upper.empty() || upper.find(' ') != std::string::npos) return nullptr;
    for (const KnownCodePage& codePage : KnownCodePages())
        if ((std::string(" ") + codePage.names + " ").find(" " + upper + " ") != std::string::npos) return &codePage;
    return nullptr;
}
