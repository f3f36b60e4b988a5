// The commands of sfxpack; each returns the process's exit code.
#pragma once
#include <cstddef>
#include <string>

#include "pack/cli/command_line.h"

enum ExitCode { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2, EXIT_NO_WINE = 3 };

// Each runs with the code page of --codepage (or the default) open.
[[nodiscard]] int RunCreate(const CommandLine& line, const CodePage& codePage);
[[nodiscard]] int RunList(const CommandLine& line, const CodePage& codePage);
[[nodiscard]] int RunVerify(const CommandLine& line, const CodePage& codePage);
[[nodiscard]] int RunExtract(const CommandLine& line, const CodePage& codePage);
[[nodiscard]] int RunTry(const CommandLine& line, const CodePage& codePage);

// Opens the code page, runs the command and closes the code page again;
// EXIT_USAGE after a message when the code page cannot be opened.
[[nodiscard]] int RunWithCodePage(const CommandLine& line,
                                  int (*command)(const CommandLine& line, const CodePage& codePage));

// Messages on standard error, "sfxpack: " first, and lines of standard
// output; each through TerminalText, as they may quote an installer.
[[nodiscard]] int Fail(const std::string& message);   // returns EXIT_FAILED
void Warn(const std::string& message);
void PrintLine(const std::string& line);

// "1 file", "2 files".
std::string Counted(size_t count, const char* one, const char* many);
