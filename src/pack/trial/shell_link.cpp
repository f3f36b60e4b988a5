#include "pack/trial/shell_link.h"

#include <algorithm>

#include "pack/trial/windows_paths.h"

namespace {

// The header: its size, the class id, then the flags that say what follows.
enum : uint32_t {
    HEADER_SIZE = 0x4C,
    FLAGS_FIELD = 0x14,
    ICON_INDEX_FIELD = 0x38,
    HAS_ITEM_LIST = 0x1,
    HAS_LINK_INFO = 0x2,
    HAS_DESCRIPTION = 0x4,
    HAS_RELATIVE_PATH = 0x8,
    HAS_WORKING_DIRECTORY = 0x10,
    HAS_ARGUMENTS = 0x20,
    HAS_ICON_LOCATION = 0x40,
    IS_UNICODE = 0x80,
    // The link information: its size, its header's size, its flags, then offsets from its start.
    INFO_FLAGS_FIELD = 8,
    INFO_LOCAL_PATH_FIELD = 16,
    INFO_SUFFIX_FIELD = 24,
    INFO_HAS_LOCAL_PATH = 0x1,
};

const uint8_t LINK_CLASS_ID[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at;
    bool ok;
};

uint32_t Number(Reader* reader, size_t offset, size_t width) {
    if (offset + width > reader->bytes.size()) {
        reader->ok = false;
        return 0;
    }
    uint32_t value = 0;
    for (size_t index = width; index-- > 0;) value = value << 8 | reader->bytes[offset + index];
    return value;
}

// A NUL-terminated string of the code page at offset, within limit.
std::string AnsiString(Reader* reader, size_t offset, size_t limit, const CodePage& codePage) {
    std::string text;
    while (offset < limit && offset < reader->bytes.size() && reader->bytes[offset])
        text += (char)reader->bytes[offset++];
    if (offset >= limit || offset >= reader->bytes.size()) reader->ok = false;
    return PrintableText(codePage, text);
}

// A counted string of the string data: UTF-16 units, or code-page bytes.
std::string CountedString(Reader* reader, bool unicode, const CodePage& codePage) {
    size_t count = Number(reader, reader->at, 2);
    size_t start = reader->at + 2, width = unicode ? 2 : 1;
    reader->at = start + count * width;
    if (!reader->ok || reader->at > reader->bytes.size()) {
        reader->ok = false;
        return "";
    }
    if (!unicode) {
        std::string text(reader->bytes.begin() + start, reader->bytes.begin() + reader->at);
        return PrintableText(codePage, text.substr(0, text.find('\0')));
    }
    std::u16string units;
    for (size_t index = 0; index < count; ++index) units.push_back((char16_t)Number(reader, start + 2 * index, 2));
    // Wine counts a NUL at the end too; Windows does not.
    return Utf8FromUtf16(units.substr(0, units.find(u'\0')));
}

// The target's path from the link information: its local base path and the common suffix.
std::string LinkInfoTarget(Reader* reader, const CodePage& codePage) {
    size_t start = reader->at, size = Number(reader, start, 4);
    reader->at = start + size;
    if (!reader->ok || size < 28 || reader->at > reader->bytes.size()) {
        reader->ok = false;
        return "";
    }
    if (!(Number(reader, start + INFO_FLAGS_FIELD, 4) & INFO_HAS_LOCAL_PATH)) return "";
    std::string base =
        AnsiString(reader, start + Number(reader, start + INFO_LOCAL_PATH_FIELD, 4), reader->at, codePage);
    return base + AnsiString(reader, start + Number(reader, start + INFO_SUFFIX_FIELD, 4), reader->at, codePage);
}

}   // namespace

Problem ReadShellLink(const std::vector<uint8_t>& bytes, const CodePage& codePage, ShellLink* link) {
    Reader reader{bytes, HEADER_SIZE, true};
    if (Number(&reader, 0, 4) != HEADER_SIZE || bytes.size() < HEADER_SIZE ||
        !std::equal(LINK_CLASS_ID, LINK_CLASS_ID + 16, bytes.begin() + 4))
        return "not a shell link: its header is not one";
    uint32_t flags = Number(&reader, FLAGS_FIELD, 4);
    if (flags & HAS_ITEM_LIST) reader.at += 2 + Number(&reader, reader.at, 2);
    if (flags & HAS_LINK_INFO) link->target = LinkInfoTarget(&reader, codePage);
    bool unicode = flags & IS_UNICODE;
    std::string relativePath;
    if (flags & HAS_DESCRIPTION) link->description = CountedString(&reader, unicode, codePage);
    if (flags & HAS_RELATIVE_PATH) relativePath = CountedString(&reader, unicode, codePage);
    if (flags & HAS_WORKING_DIRECTORY) link->workingDirectory = CountedString(&reader, unicode, codePage);
    if (flags & HAS_ARGUMENTS) link->arguments = CountedString(&reader, unicode, codePage);
    if (flags & HAS_ICON_LOCATION) link->icon = CountedString(&reader, unicode, codePage);
    if (!reader.ok) return "a damaged shell link: it ends inside its own data";
    if (link->target.empty()) link->target = relativePath;
    uint32_t iconIndex = Number(&reader, ICON_INDEX_FIELD, 4);
    if (iconIndex != 0) link->icon += "," + std::to_string((int32_t)iconIndex);
    return {};
}
