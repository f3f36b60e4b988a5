#include <cstring>
#include <optional>

#include "format/installer_format.h"
#include "format/little_endian.h"
#include "pack/installer/entry_stream.h"

namespace {

struct Reader {
    const std::vector<uint8_t>* stream;
    size_t position;
};

size_t BytesLeft(const Reader& reader) { return reader.stream->size() - reader.position; }

// Each read stays inside the stream: none when it would run past its end.
std::optional<std::string> ReadText(Reader& reader) {
    const uint8_t* at = reader.stream->data() + reader.position;
    const void* end = memchr(at, 0, BytesLeft(reader));
    if (!end) return std::nullopt;
    std::string text((const char*)at, (const uint8_t*)end - at);
    reader.position += text.size() + 1;
    return text;
}

std::optional<int32_t> ReadInt32(Reader& reader) {
    if (BytesLeft(reader) < 4) return std::nullopt;
    int32_t value = (int32_t)ReadLittleEndian32(reader.stream->data() + reader.position);
    reader.position += 4;
    return value;
}

std::string At(size_t offset) { return " (stream offset " + std::to_string(offset) + ")"; }

}   // namespace

Problem ParseEntryStream(const std::vector<uint8_t>& stream, ParsedStream* parsed) {
    *parsed = ParsedStream();
    Reader reader{&stream, 0};
    std::optional<std::string> target = ReadText(reader);
    if (!target) return "the target directory runs past the end of the entry stream";
    parsed->target = *target;
    while (reader.position < stream.size()) {
        size_t offset = reader.position;
        StreamEntry entry;
        std::optional<int32_t> sizeCode = ReadInt32(reader);
        if (!sizeCode) return "a size code runs past the end of the entry stream" + At(offset);
        entry.sizeCode = *sizeCode;
        if (entry.sizeCode == SIZE_CODE_END) {
            parsed->hasEndCode = true;
            parsed->bytesAfterEnd = BytesLeft(reader);
            break;
        }
        if (entry.sizeCode < SIZE_CODE_DIRECTORY)
            return "size code " + std::to_string(entry.sizeCode) + " is invalid" + At(offset);
        std::optional<std::string> name = ReadText(reader);
        if (!name) return "an entry name runs past the end of the entry stream" + At(offset);
        entry.name = *name;
        if (!IsSafeEntryName(entry.name.c_str()))
            return "entry name '" + entry.name + "' would leave the target directory or name another file" + At(offset);
        entry.dataOffset = reader.position;
        if (entry.sizeCode > 0 && (size_t)entry.sizeCode > BytesLeft(reader))
            return "the data of '" + entry.name + "' runs past the end of the entry stream" + At(offset);
        if (entry.sizeCode > 0) reader.position += (size_t)entry.sizeCode;
        parsed->entries.push_back(entry);
    }
    return {};
}
