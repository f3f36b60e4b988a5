#include <algorithm>
#include <cstring>

#include "format/installer_format.h"
#include "format/little_endian.h"
#include "pack/installer/entry_stream.h"
#include "platform/platform.h"

static const size_t READ_CHUNK = 1 << 20;   // progress is reported per chunk

static void PutText(std::vector<uint8_t>* stream, const std::string& text) {
    stream->insert(stream->end(), text.begin(), text.end());
    stream->push_back(0);
}

uint64_t EntryStreamSize(const std::string& target, const std::vector<SourceEntry>& entries,
                         const std::string& controlFile) {
    uint64_t size = target.size() + 1 + 4;   // the target and the end code
    for (const SourceEntry& entry : entries) size += 4 + entry.name.size() + 1 + entry.size;
    if (!controlFile.empty()) size += 4 + strlen(CONTROL_FILE_NAME) + 1 + controlFile.size();
    return size;
}

// Appends exactly size bytes of the file; a file that has grown or shrunk since
// the walk is refused rather than packed half-old, half-new.
static Problem AppendFile(const SourceEntry& entry, std::vector<uint8_t>* stream, uint64_t* done, uint64_t total,
                          ByteProgressFn progress, void* context) {
    OpenFile file;
    if (Problem failure = OpenFileForReading(entry.hostPath, &file))
        return entry.hostPath + ": cannot open: " + failure.text;
    size_t start = stream->size();
    stream->resize(start + entry.size);
    Problem problem;
    size_t have = 0;
    while (have < entry.size) {
        size_t want = std::min<size_t>(READ_CHUNK, entry.size - have);
        size_t got = 0;
        if (Problem failure = ReadFromFile(&file, stream->data() + start + have, want, &got)) {
            problem = entry.hostPath + ": cannot read: " + failure.text;
            break;
        }
        if (got == 0) {
            problem = entry.hostPath + ": the file shrank while it was being packed";
            break;
        }
        have += got;
        *done += (uint64_t)got;
        if (progress) progress(context, *done, total);
    }
    uint8_t extra;
    size_t got = 0;
    if (!problem && !ReadFromFile(&file, &extra, 1, &got) && got > 0)
        problem = entry.hostPath + ": the file grew while it was being packed";
    (void)CloseFile(&file);   // only read from
    return problem;
}

Problem BuildEntryStream(const std::string& target, const std::vector<SourceEntry>& entries,
                         const std::string& controlFile, ByteProgressFn progress, void* context,
                         std::vector<uint8_t>* stream) {
    stream->clear();
    stream->reserve(EntryStreamSize(target, entries, controlFile));
    uint64_t total = 0, done = 0;
    for (const SourceEntry& entry : entries) total += entry.size;
    PutText(stream, target);
    for (const SourceEntry& entry : entries) {
        AppendLittleEndian32(stream, entry.isDirectory ? (uint32_t)SIZE_CODE_DIRECTORY : (uint32_t)entry.size);
        PutText(stream, entry.name);
        if (entry.isDirectory || entry.size == 0) continue;
        if (Problem problem = AppendFile(entry, stream, &done, total, progress, context)) return problem;
    }
    if (!controlFile.empty()) {
        AppendLittleEndian32(stream, (uint32_t)controlFile.size());
        PutText(stream, CONTROL_FILE_NAME);
        stream->insert(stream->end(), controlFile.begin(), controlFile.end());
    }
    AppendLittleEndian32(stream, (uint32_t)SIZE_CODE_END);
    if (progress) progress(context, total, total);
    return {};
}
