// Text values: NUL-terminated bytes in the ANSI code page, a byte a character.
// A null Text behaves exactly like the empty text everywhere. Results are
// temporaries from the thread's text workspace (see support/text_workspace.h):
// use them at once or keep them with AssignText. Positions count from 1; 0
// means not found.
#pragma once
#include <stdint.h>

typedef const char* Text;

// A text variable owns a private copy of its text; it starts out missing.
struct TextVar {
    char* text;
};

void AssignText(TextVar* variable, Text text);   // copies; a null text releases
Text ConcatText(Text a, Text b, Text c = 0, Text d = 0, Text e = 0, Text f = 0);
int32_t TextEquals(Text a, Text b);   // nonzero when byte-for-byte equal
int32_t TextLength(Text text);
int32_t FindInText(Text text, Text pattern, int32_t start);
Text LeftOfText(Text text, int32_t count);
Text TrimTextLeft(Text text, Text trimCharacter = 0);   // default: space
Text TrimTextRight(Text text, Text trimCharacter = 0);
Text ReadTextAt(const void* address);
int32_t ReadInt32At(const void* address);
