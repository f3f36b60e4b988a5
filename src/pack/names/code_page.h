// Conversion between the host's UTF-8 names and the ANSI code page that the
// installer's names and control values are written in.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "problem/problem.h"

constexpr const char* DEFAULT_CODE_PAGE = "WINDOWS-1252";

struct CodePage {
    std::string name;
    CodePageConverter* converter = nullptr;
};

// Opens the code page; none on success, else why it cannot be used. Only
// the code pages of the known table (platform/code_page_table.h) are
// accepted, on every host: each keeps ASCII as it is, as the installer looks
// for backslashes, colons and dots byte by byte (UTF-7 or EBCDIC would change
// "a&b.txt"), and Windows has each as an ANSI code page (never UTF-16 or
// UTF-32, however spelled).
Problem OpenCodePage(const std::string& name, CodePage* codePage);
void CloseCodePage(CodePage* codePage);
// The usual names of the known code pages that can write every one of the
// texts (UTF-8), each with no byte a backslash that its character is not;
// UTF-8 itself, which holds them all, is left out.
std::vector<std::string> CodePagesHolding(const std::vector<std::string>& texts);
// UTF-8, however spelled: Windows' ANSI code page only where the user turned
// on its beta option for it.
bool IsUtf8CodePage(const CodePage& codePage);

// The character that starts at *index, which moves past it; none, with
// *index one byte on, when the bytes there are not UTF-8.
std::optional<char32_t> NextUtf8Character(const std::string& text, size_t* index);
bool IsValidUtf8(const std::string& text);
// The text's characters; none when it is not valid UTF-8.
[[nodiscard]] std::optional<std::u32string> DecodeUtf8(const std::string& text);
// A character that moves a terminal's cursor or changes what it shows next:
// the C0 controls, DEL and the C1 controls (U+0080 to U+009F).
bool IsControlCharacter(char32_t character);
bool HoldsControlCharacter(const std::string& utf8);
// None when the text is not valid UTF-8 or holds a character the code page lacks.
[[nodiscard]] std::optional<std::string> ToCodePage(const CodePage& codePage, const std::string& utf8);
// None when a byte sequence has no meaning in the code page.
[[nodiscard]] std::optional<std::string> FromCodePage(const CodePage& codePage, const std::string& ansi);
// For messages and listings: the text in UTF-8, or when it does not convert,
// with each byte from 0x80 up written as \xhh.
std::string PrintableText(const CodePage& codePage, const std::string& ansi);
// Every text that sfxpack prints, but JSON, goes through this one escape:
// names and values read from an installer may hold control characters that
// would move the cursor, recolour the terminal or redraw a line as another.
// Each control character and each byte that is not UTF-8 is written as \xhh
// (a C1 control by its code point: \x9b); the rest, backslashes too, as it is.
std::string TerminalText(const std::string& text);
