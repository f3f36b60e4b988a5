// The installer's file layout as the builder writes and reads it: the stub,
// then the archive header and the stored block, holding the entry stream.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t STUB_SIZE = 11264;            // the archive starts right after the stub
constexpr size_t ARCHIVE_HEADER_SIZE = 12;     // unpacked size, stored size, CRC-32
constexpr int64_t MAX_ARCHIVE_SIZE = 0x7FFFFFFF; // sizes in the header are signed 32-bit

// Size codes of the entry stream.
constexpr int32_t SIZE_CODE_END = -1;
constexpr int32_t SIZE_CODE_DIRECTORY = -2;

// Files the installer itself reads or writes in the target directory.
constexpr const char* CONTROL_FILE_NAME = "$$$.$$$";
constexpr const char* SHORTCUT_SCRIPT_NAME = "$$$ikona.vbs";

// Windows' limits for ANSI paths, in characters without the NUL: 260 with the
// NUL for a file, 248 with the NUL for a directory that CreateDirectory makes
// (it keeps room for an 8.3 name below it).
constexpr size_t MAX_FILE_PATH = 259;
constexpr size_t MAX_DIRECTORY_PATH = 247;

constexpr const char* DEFAULT_TARGET = ".\\";
constexpr const char* DEFAULT_CODE_PAGE = "WINDOWS-1252";
