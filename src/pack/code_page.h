// Conversion between the host's UTF-8 names and the ANSI code page that the
// installer's names and control values are written in.
#pragma once
#include <optional>
#include <string>

#include "platform/platform.h"

constexpr const char* DEFAULT_CODE_PAGE = "WINDOWS-1252";

struct CodePage {
    std::string name;
    CodePageConverter* converter = nullptr;
};

// Opens the code page; empty on success, else why it cannot be used. Only
// code pages that keep ASCII as it is are accepted: the installer looks for
// backslashes, colons and dots byte by byte.
[[nodiscard]] std::string OpenCodePage(const std::string& name, CodePage* codePage);
void CloseCodePage(CodePage* codePage);

bool IsValidUtf8(const std::string& text);
// The text's characters; none when it is not valid UTF-8.
[[nodiscard]] std::optional<std::u32string> DecodeUtf8(const std::string& text);
// None when the text is not valid UTF-8 or holds a character the code page lacks.
[[nodiscard]] std::optional<std::string> ToCodePage(const CodePage& codePage, const std::string& utf8);
// None when a byte sequence has no meaning in the code page.
[[nodiscard]] std::optional<std::string> FromCodePage(const CodePage& codePage, const std::string& ansi);
// For messages and listings: the text in UTF-8, or when it does not convert,
// with each byte from 0x80 up written as \xHH.
std::string PrintableText(const CodePage& codePage, const std::string& ansi);
