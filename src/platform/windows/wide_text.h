// The Windows side's boundary: the builder's UTF-8 against the system's
// UTF-16, and the system's words for an error.
#pragma once
#include "platform/windows/system.h"

#include <string>

// UTF-8 to UTF-16. Encoded lone surrogates come back as they were listed (see
// Utf8Text); a byte that is not UTF-8 becomes U+FFFD.
std::wstring WideText(const std::string& utf8);
// UTF-16 to UTF-8. A lone surrogate, which a Windows name may hold, is encoded
// as its own code point, which DecodeUtf8 refuses: such a name is reported,
// never silently renamed.
std::string Utf8Text(const wchar_t* wide, size_t length);
std::string Utf8Text(const std::wstring& wide);

// The path for the wide file functions: a long one made absolute under the
// \\?\ prefix, which lifts the 260-character limit.
std::wstring WidePath(const std::string& path);

// FormatMessage's text for the error, without the line end and the final dot.
std::string SystemErrorText(DWORD error);
std::string LastErrorText();
