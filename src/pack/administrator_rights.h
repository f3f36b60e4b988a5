// Whether Windows runs the installer with administrator rights, and whether
// its target needs them. The stub has no manifest, so Windows' installer
// detection decides: it asks for the rights only for a program whose file
// name holds one of its words. Without them, the writes of a program like the
// stub to folders that standard users cannot write go to that user's private
// VirtualStore, or fail.
#pragma once
#include <string>

// The first of the words (one table) that the file name holds in any case,
// "setup" in "App-Setup.exe"; null when it holds none.
const char* ElevatingWord(const std::string& fileName);

// Whether the target (normalized, UTF-8) lies in a folder that standard users
// cannot write (one table): C:\Program Files\, C:\Windows\, a drive's root.
bool NeedsAdministratorRights(const std::string& target);

// What to tell the user when the installer's file name and what it does do
// not agree, or empty: a target that needs the rights while the name asks for
// none, or a relative target (the folder it is started in) while the name
// asks for them; and a temporary run whose name asks for none, since only
// with them can it write its extraction list, in the root of C:, by which it
// removes what it extracted.
std::string AdministratorRightsWarning(const std::string& fileName, const std::string& target, bool temporaryRun);

// What to tell the user when an installer that Windows runs with the rights
// (its name holds one of the words) starts a program when done (--run): the
// program gets the rights too, and its settings land in the administrator's
// profile, not the user's; empty when it does not.
std::string RunWithRightsWarning(const std::string& fileName, const std::string& command);
