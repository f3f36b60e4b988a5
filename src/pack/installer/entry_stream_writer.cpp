#include <algorithm>

#include "format/installer_format.h"
#include "format/little_endian.h"
#include "pack/installer/entry_stream.h"
#include "platform/platform.h"

static const size_t READ_CHUNK = 1 << 20;   // progress is reported per chunk

namespace {

// Where the stream's parts go: appended to bytes, or with no bytes only
// counted, so that the stream's length and its making follow one layout.
struct StreamOutput {
    std::vector<uint8_t>* bytes = nullptr;
    uint64_t size = 0;
    uint64_t fileBytesDone = 0;
    uint64_t fileBytesTotal = 0;
    ByteProgressFn progress = nullptr;
    void* context = nullptr;
};

void PutText(StreamOutput* out, const std::string& text) {
    out->size += text.size() + 1;
    if (!out->bytes) return;
    out->bytes->insert(out->bytes->end(), text.begin(), text.end());
    out->bytes->push_back(0);
}

void PutSizeCode(StreamOutput* out, uint32_t code) {
    out->size += 4;
    if (out->bytes) AppendLittleEndian32(out->bytes, code);
}

void PutBytes(StreamOutput* out, const std::string& bytes) {
    out->size += bytes.size();
    if (out->bytes) out->bytes->insert(out->bytes->end(), bytes.begin(), bytes.end());
}

// What a file whose bytes are not as many as its size says: it changed while
// packed, or it is a special file (those of /proc say 0 and hold more).
std::string SizeMismatch(const SourceEntry& entry, const char* comparison) {
    return entry.hostPath + ": reading it gives " + comparison + " bytes than its size, " + std::to_string(entry.size) +
           ": it changed while it was being packed, or it is a special file (as those in /proc) whose size does not "
           "tell its bytes";
}

// Appends exactly size bytes of the file, and checks that nothing follows
// them: a file that has grown or shrunk since the walk is refused rather than
// packed half-old, half-new, and one of a false size rather than cut short.
Problem AppendFile(StreamOutput* out, const SourceEntry& entry) {
    OpenFile file;
    if (Problem failure = OpenFileForReading(entry.hostPath, &file))
        return entry.hostPath + ": cannot open: " + failure.text;
    std::vector<uint8_t>* stream = out->bytes;
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
            problem = SizeMismatch(entry, "fewer");
            break;
        }
        have += got;
        out->fileBytesDone += (uint64_t)got;
        if (out->progress) out->progress(out->context, out->fileBytesDone, out->fileBytesTotal);
    }
    uint8_t extra;
    size_t got = 0;
    if (!problem && !ReadFromFile(&file, &extra, 1, &got) && got > 0) problem = SizeMismatch(entry, "more");
    (void)CloseFile(&file);   // only read from
    return problem;
}

// Every file is read, an empty one too: its size may not be its bytes.
Problem PutFile(StreamOutput* out, const SourceEntry& entry) {
    out->size += entry.size;
    return out->bytes ? AppendFile(out, entry) : Problem();
}

// The stream's layout, the one place that knows it.
Problem LayOutStream(const std::string& target, const std::vector<SourceEntry>& entries, const std::string& controlFile,
                     StreamOutput* out) {
    PutText(out, target);
    for (const SourceEntry& entry : entries) {
        PutSizeCode(out, entry.isDirectory ? (uint32_t)SIZE_CODE_DIRECTORY : (uint32_t)entry.size);
        PutText(out, entry.name);
        if (entry.isDirectory) continue;
        if (Problem problem = PutFile(out, entry)) return problem;
    }
    if (!controlFile.empty()) {
        PutSizeCode(out, (uint32_t)controlFile.size());
        PutText(out, CONTROL_FILE_NAME);
        PutBytes(out, controlFile);
    }
    PutSizeCode(out, (uint32_t)SIZE_CODE_END);
    return {};
}

}   // namespace

uint64_t EntryStreamSize(const std::string& target, const std::vector<SourceEntry>& entries,
                         const std::string& controlFile) {
    StreamOutput counter;
    (void)LayOutStream(target, entries, controlFile, &counter);   // counting reads no file: it cannot fail
    return counter.size;
}

Problem BuildEntryStream(const std::string& target, const std::vector<SourceEntry>& entries,
                         const std::string& controlFile, ByteProgressFn progress, void* context,
                         std::vector<uint8_t>* stream) {
    stream->clear();
    stream->reserve(EntryStreamSize(target, entries, controlFile));
    StreamOutput out;
    out.bytes = stream;
    for (const SourceEntry& entry : entries) out.fileBytesTotal += entry.size;
    out.progress = progress;
    out.context = context;
    if (Problem problem = LayOutStream(target, entries, controlFile, &out)) return problem;
    if (progress) progress(context, out.fileBytesTotal, out.fileBytesTotal);
    return {};
}
