#include "strings/text.h"

#include <string.h>

#include "format/little_endian.h"
#include "support/heap.h"
#include "support/text_workspace.h"

static int32_t Length(Text text) { return text ? (int32_t)strlen(text) : 0; }

// A new temporary holding the given bytes; the empty text when memory runs out.
static Text CopyToWorkspace(const char* bytes, int32_t length) {
    char* copy = NewWorkspaceText((uint32_t)length);
    if (!copy) return "";
    if (length) memcpy(copy, bytes, (size_t)length);
    return copy;
}

static char TrimCharacter(Text trimCharacter) { return trimCharacter ? trimCharacter[0] : ' '; }

void AssignText(TextVar* variable, Text text) {
    char* copy = 0;
    if (text) {
        uint32_t size = (uint32_t)Length(text) + 1;
        copy = (char*)HeapBlockRaw(size);
        if (copy) memcpy(copy, text, size);
    }
    FreeHeapBlock(variable->text);   // after the copy: the text may be the variable's own
    variable->text = copy;
}

Text ConcatText(Text a, Text b, Text c, Text d, Text e, Text f) {
    Text parts[] = {a, b, c, d, e, f};
    const int partCount = sizeof(parts) / sizeof(parts[0]);
    int32_t total = 0;
    for (int i = 0; i < partCount; ++i) total += Length(parts[i]);
    char* result = NewWorkspaceText((uint32_t)total);
    if (!result) return "";
    char* end = result;
    for (int i = 0; i < partCount; ++i) {
        int32_t length = Length(parts[i]);
        if (length) memcpy(end, parts[i], (size_t)length);
        end += length;
    }
    return result;
}

int32_t TextEquals(Text a, Text b) { return strcmp(a ? a : "", b ? b : "") == 0; }

int32_t TextLength(Text text) { return Length(text); }

int32_t FindInText(Text text, Text pattern, int32_t start) {
    int32_t textLength = Length(text);
    int32_t patternLength = Length(pattern);
    if (textLength == 0 || patternLength == 0) return 0;
    if (start < 1) start = 1;
    // Bounded by the last position where the whole pattern fits, so that no
    // start value, however large, can overflow the arithmetic.
    int32_t lastPosition = textLength - patternLength + 1;
    for (int32_t position = start; position <= lastPosition; ++position)
        if (memcmp(text + position - 1, pattern, (size_t)patternLength) == 0) return position;
    return 0;
}

Text LeftOfText(Text text, int32_t count) {
    int32_t length = Length(text);
    if (count < 0) count = 0;
    return CopyToWorkspace(text, count < length ? count : length);
}

Text TrimTextLeft(Text text, Text trimCharacter) {
    char trim = TrimCharacter(trimCharacter);
    if (!text) return "";
    while (*text && *text == trim) ++text;
    return CopyToWorkspace(text, Length(text));
}

Text TrimTextRight(Text text, Text trimCharacter) {
    char trim = TrimCharacter(trimCharacter);
    int32_t end = Length(text);
    while (end > 0 && trim && text[end - 1] == trim) --end;
    return CopyToWorkspace(text, end);
}

Text ReadTextAt(const void* address) {
    Text text = (Text)address;
    return CopyToWorkspace(text, Length(text));
}

int32_t ReadInt32At(const void* address) { return (int32_t)ReadLittleEndian32(address); }
