#include <cstring>

#include "format/installer_format.h"
#include "format/little_endian.h"
#include "pack/entry_stream.h"

namespace {

struct Reader {
    const std::vector<uint8_t>* stream;
    size_t position;
};

size_t BytesLeft(const Reader& reader) { return reader.stream->size() - reader.position; }

bool ReadText(Reader& reader, std::string* text) {
    const uint8_t* at = reader.stream->data() + reader.position;
    const void* end = memchr(at, 0, BytesLeft(reader));
    if (!end) return false;
    text->assign((const char*)at, (const uint8_t*)end - at);
    reader.position += text->size() + 1;
    return true;
}

bool ReadInt32(Reader& reader, int32_t* value) {
    if (BytesLeft(reader) < 4) return false;
    *value = (int32_t)ReadLittleEndian32(reader.stream->data() + reader.position);
    reader.position += 4;
    return true;
}

std::string At(size_t offset) { return " (stream offset " + std::to_string(offset) + ")"; }

}   // namespace

std::string ParseEntryStream(const std::vector<uint8_t>& stream, ParsedStream* parsed) {
    *parsed = ParsedStream();
    Reader reader{&stream, 0};
    if (!ReadText(reader, &parsed->target)) return "the target directory runs past the end of the entry stream";
    while (reader.position < stream.size()) {
        size_t offset = reader.position;
        StreamEntry entry;
        if (!ReadInt32(reader, &entry.sizeCode))
            return "a size code runs past the end of the entry stream" + At(offset);
        if (entry.sizeCode == SIZE_CODE_END) {
            parsed->hasEndCode = true;
            parsed->bytesAfterEnd = BytesLeft(reader);
            break;
        }
        if (entry.sizeCode < SIZE_CODE_DIRECTORY)
            return "size code " + std::to_string(entry.sizeCode) + " is invalid" + At(offset);
        if (!ReadText(reader, &entry.name)) return "an entry name runs past the end of the entry stream" + At(offset);
        if (!IsSafeEntryName(entry.name.c_str()))
            return "entry name '" + entry.name + "' would leave the target directory or name another file" + At(offset);
        entry.dataOffset = reader.position;
        if (entry.sizeCode > 0 && (size_t)entry.sizeCode > BytesLeft(reader))
            return "the data of '" + entry.name + "' runs past the end of the entry stream" + At(offset);
        if (entry.sizeCode > 0) reader.position += (size_t)entry.sizeCode;
        parsed->entries.push_back(entry);
    }
    return "";
}
