// The four commands of sfxpack; each returns the process's exit code.
#pragma once
#include <string>

#include "pack/cli/command_line.h"

enum ExitCode { EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

int RunCreate(const CommandLine& line);
int RunList(const CommandLine& line);
int RunVerify(const CommandLine& line);
int RunExtract(const CommandLine& line);

// Messages on standard error, "sfxpack: " first.
int Fail(const std::string& message);   // returns EXIT_FAILED
void Warn(const std::string& message);
// Opens --codepage (or the default); EXIT_OK, or EXIT_USAGE after the message.
int OpenRequestedCodePage(const CommandLine& line, CodePage* codePage);
