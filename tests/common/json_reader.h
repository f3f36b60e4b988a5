// A small strict JSON parser for the tests that read sfxpack's --json output.
#pragma once
#include <cstring>
#include <string>
#include <utility>
#include <vector>

struct Json {
    enum Kind { NONE, NUL, BOOLEAN, NUMBER, STRING, ARRAY, OBJECT } kind = NONE;
    bool boolean = false;
    long long number = 0;   // a number's integer part
    double real = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json& operator[](const std::string& key) const {
        static const Json missing;
        for (const auto& member : members)
            if (member.first == key) return member.second;
        return missing;
    }
};

// The parser's own parts.
namespace json_parts {

struct Reader {
    const std::string& text;
    size_t at = 0;
};

inline void SkipSpace(Reader& r) {
    while (r.at < r.text.size() && strchr(" \t\r\n", r.text[r.at])) ++r.at;
}

inline bool Take(Reader& r, const char* word) {
    SkipSpace(r);
    if (r.text.compare(r.at, strlen(word), word) != 0) return false;
    r.at += strlen(word);
    return true;
}

inline void PutUtf8(std::string* out, unsigned c) {
    if (c < 0x80) *out += char(c);
    else if (c < 0x800) *out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    else *out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
}

inline bool ReadString(Reader& r, std::string* out) {
    if (!Take(r, "\"")) return false;
    for (; r.at < r.text.size(); ++r.at) {
        char c = r.text[r.at];
        if (c == '"') return ++r.at, true;
        if ((unsigned char)c < 0x20) return false;
        if (c != '\\') {
            *out += c;
            continue;
        }
        char e = r.text[++r.at];
        const char* from = "\"\\/bfnrt";
        const char* to = "\"\\/\b\f\n\r\t";
        if (e == 'u') {
            PutUtf8(out, (unsigned)std::stoul(r.text.substr(r.at + 1, 4), nullptr, 16));
            r.at += 4;
        } else if (strchr(from, e)) {
            *out += to[strchr(from, e) - from];
        } else {
            return false;
        }
    }
    return false;
}

inline bool ReadValue(Reader& r, Json* value) {
    SkipSpace(r);
    if (Take(r, "null")) return value->kind = Json::NUL, true;
    if (Take(r, "true") || Take(r, "false"))
        return value->kind = Json::BOOLEAN, value->boolean = r.text[r.at - 1] == 'e' && r.text[r.at - 2] == 'u', true;
    if (r.at < r.text.size() && r.text[r.at] == '"') return value->kind = Json::STRING, ReadString(r, &value->text);
    if (Take(r, "[")) {
        value->kind = Json::ARRAY;
        if (Take(r, "]")) return true;
        do value->items.emplace_back();
        while (ReadValue(r, &value->items.back()) && Take(r, ","));
        return Take(r, "]");
    }
    if (Take(r, "{")) {
        value->kind = Json::OBJECT;
        if (Take(r, "}")) return true;
        do value->members.emplace_back();
        while (ReadString(r, &value->members.back().first) && Take(r, ":") &&
               ReadValue(r, &value->members.back().second) && Take(r, ","));
        return Take(r, "}");
    }
    size_t length = 0;
    value->kind = Json::NUMBER;
    value->real = std::stod(r.text.substr(r.at), &length);
    value->number = (long long)value->real;
    r.at += length;
    return length > 0;
}

}   // namespace json_parts

// The whole output as one document, or NONE.
inline Json Parse(const std::string& text) {
    json_parts::Reader reader{text};
    Json document;
    bool read = json_parts::ReadValue(reader, &document);
    json_parts::SkipSpace(reader);
    return read && reader.at == text.size() ? document : Json();
}
