#include "pack/cli/json_writer.h"

#include <cstdio>

#include "pack/names/code_page.h"

namespace {

void AppendUtf8(std::string* text, char32_t c) {
    if (c < 0x80) {
        *text += (char)c;
    } else if (c < 0x800) {
        *text += (char)(0xC0 | c >> 6);
        *text += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *text += (char)(0xE0 | c >> 12);
        *text += (char)(0x80 | (c >> 6 & 0x3F));
        *text += (char)(0x80 | (c & 0x3F));
    } else {
        *text += (char)(0xF0 | c >> 18);
        *text += (char)(0x80 | (c >> 12 & 0x3F));
        *text += (char)(0x80 | (c >> 6 & 0x3F));
        *text += (char)(0x80 | (c & 0x3F));
    }
}

// The characters of the text; each byte that does not start a valid UTF-8
// sequence is U+FFFD.
std::u32string Characters(const std::string& utf8) {
    std::u32string characters;
    for (size_t index = 0; index < utf8.size();) characters += NextUtf8Character(utf8, &index).value_or(U'\uFFFD');
    return characters;
}

void AppendQuoted(std::string* text, const std::string& utf8) {
    *text += '"';
    for (char32_t c : Characters(utf8)) {
        if (c == '"' || c == '\\') {
            *text += '\\';
            *text += (char)c;
        } else if (c == '\n') {
            *text += "\\n";
        } else if (c == '\r') {
            *text += "\\r";
        } else if (c == '\t') {
            *text += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            snprintf(escape, sizeof(escape), "\\u%04X", (unsigned)c);
            *text += escape;
        } else {
            AppendUtf8(text, c);
        }
    }
    *text += '"';
}

// The comma, line break and indentation before an item, and its key.
void StartItem(JsonWriter* writer, const char* key) {
    if (!writer->hasItems.empty()) {
        writer->text += writer->hasItems.back() ? ",\n" : "\n";
        writer->hasItems.back() = true;
        writer->text += std::string(2 * writer->hasItems.size(), ' ');
    }
    if (key) {
        AppendQuoted(&writer->text, key);
        writer->text += ": ";
    }
}

void Open(JsonWriter* writer, const char* key, char bracket) {
    StartItem(writer, key);
    writer->text += bracket;
    writer->hasItems.push_back(false);
}

void Close(JsonWriter* writer, char bracket) {
    bool hadItems = writer->hasItems.back();
    writer->hasItems.pop_back();
    if (hadItems) writer->text += "\n" + std::string(2 * writer->hasItems.size(), ' ');
    writer->text += bracket;
    if (writer->hasItems.empty()) writer->text += "\n";
}

}   // namespace

void BeginJsonObject(JsonWriter* writer, const char* key) { Open(writer, key, '{'); }
void EndJsonObject(JsonWriter* writer) { Close(writer, '}'); }
void BeginJsonArray(JsonWriter* writer, const char* key) { Open(writer, key, '['); }
void EndJsonArray(JsonWriter* writer) { Close(writer, ']'); }

void WriteJsonString(JsonWriter* writer, const char* key, const std::string& utf8) {
    StartItem(writer, key);
    AppendQuoted(&writer->text, utf8);
}

void WriteJsonNumber(JsonWriter* writer, const char* key, int64_t value) {
    StartItem(writer, key);
    writer->text += std::to_string(value);
}

void WriteJsonDecimal(JsonWriter* writer, const char* key, double value, int decimals) {
    StartItem(writer, key);
    char digits[64];
    snprintf(digits, sizeof(digits), "%.*f", decimals, value);
    writer->text += digits;
}

void WriteJsonBool(JsonWriter* writer, const char* key, bool value) {
    StartItem(writer, key);
    writer->text += value ? "true" : "false";
}

void WriteJsonNull(JsonWriter* writer, const char* key) {
    StartItem(writer, key);
    writer->text += "null";
}
