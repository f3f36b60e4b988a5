// DLLs that are not KnownDLLs are never imported: Windows would look for them
// in the installer's own folder first, where anyone may have put a DLL of the
// same name. They are loaded by their full path in the system directory.
#pragma once
#include <stdint.h>

// First thing at start-up: the process's DLL search leaves out the current
// directory and, where the system offers it, everything but the system
// directory. Works on every version: functions a system lacks are skipped.
void RestrictLibrarySearch();

// The address of a function of a DLL in the system directory, for the caller
// to cast to the function's type; null when the DLL or the function is missing.
void* SystemLibraryFunction(const char* library, const char* function);
