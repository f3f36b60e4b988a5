// A JSON document written as it goes, two spaces to a level: the writer puts
// the commas, the indentation and the escapes. Values inside an object take a
// key; values inside an array take none (null).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct JsonWriter {
    std::string text;
    std::vector<bool> hasItems;   // for each open object or array
};

void BeginJsonObject(JsonWriter* writer, const char* key = nullptr);
void EndJsonObject(JsonWriter* writer);
void BeginJsonArray(JsonWriter* writer, const char* key = nullptr);
void EndJsonArray(JsonWriter* writer);
// The text must be UTF-8; a byte that is not is written as U+FFFD.
void WriteJsonString(JsonWriter* writer, const char* key, const std::string& utf8);
void WriteJsonNumber(JsonWriter* writer, const char* key, int64_t value);
// With that many digits after the point.
void WriteJsonDecimal(JsonWriter* writer, const char* key, double value, int decimals);
void WriteJsonBool(JsonWriter* writer, const char* key, bool value);
void WriteJsonNull(JsonWriter* writer, const char* key);
