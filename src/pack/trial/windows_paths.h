// Paths and text between the throwaway prefix's folders and the Windows side:
// drive C: is the prefix's drive_c folder, and Windows speaks UTF-16.
#pragma once
#include <string>

// UTF-16 (as a shell link or a wide trace string holds it) in UTF-8; a lone
// surrogate becomes U+FFFD.
std::string Utf8FromUtf16(const std::u16string& text);

// "C:\a\b" for the path below drive_c ("a/b"), "C:\" for the empty one.
std::string WindowsPathOf(const std::string& relative);

// The absolute path on drive C: of a path the installer was given, a relative
// one taken from the directory (absolute, ending with a backslash), a
// root-relative one ("\dir") on drive C:, with "." and ".." resolved; empty
// when it names another drive or a share.
std::string AbsoluteOnDriveC(const std::string& path, const std::string& directory);

// A key that is equal for the Windows paths that name the same file: without
// case and without a trailing backslash.
std::u32string PathKey(const std::string& windowsPath);
