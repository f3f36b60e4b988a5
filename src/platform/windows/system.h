// <windows.h> for the Windows side of the platform. Its OpenFile, a function
// of 16-bit Windows that nothing here calls, would hide the builder's OpenFile.
#pragma once
#define OpenFile WindowsOpenFile
#include <windows.h>
#undef OpenFile
