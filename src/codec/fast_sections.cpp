// The fast level over the whole input: fixed sections, each parsed by
// ParseFastSection on whichever thread is free, then joined in order. The
// sections and their window do not depend on the number of threads, so
// neither do the bytes; with one thread there is no other thread at all.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "codec/fast_parser.h"
#include "codec/parsers.h"

namespace {

struct Sections {
    const uint8_t* data;
    uint32_t size;
    uint32_t count;
    std::vector<TokenStream> parsed;   // per section, when done
    std::vector<bool> done;
    uint32_t next = 0;   // the first section no thread has taken
    std::mutex lock;
    std::condition_variable finished;
};

// Takes sections until none is left: the caller's thread and every worker.
// Returns after the first section when once is set (the joining thread).
void ParseSections(Sections* sections, HashRows* rows, bool once) {
    for (;;) {
        uint32_t index;
        {
            std::lock_guard<std::mutex> guard(sections->lock);
            if (sections->next == sections->count) return;
            index = sections->next++;
        }
        uint32_t start = index * FAST_SECTION_BYTES;
        uint32_t end = FastSectionEnd(index, sections->size);
        TokenStream section;
        StartSectionStream(section, sections->data, sections->size);
        ParseFastSection(section, start, end, *rows);
        {
            std::lock_guard<std::mutex> guard(sections->lock);
            sections->parsed[index] = std::move(section);
            sections->done[index] = true;
        }
        sections->finished.notify_all();
        if (once) return;
    }
}

void RunWorker(Sections* sections) {
    HashRows rows;
    ParseSections(sections, &rows, false);
}

}   // namespace

void ParseFast(TokenStream& stream, uint32_t threads, const ProgressReport& report) {
    Sections sections;
    sections.data = stream.data;
    sections.size = stream.size;
    sections.count = FastSectionCount(stream.size);
    sections.parsed.resize(sections.count);
    sections.done.assign(sections.count, false);
    std::vector<std::thread> workers;
    for (uint32_t worker = 1; worker < threads && worker < sections.count; ++worker)
        workers.emplace_back(RunWorker, &sections);
    HashRows rows;
    // This thread parses a section whenever the next one to join is not ready.
    for (uint32_t joined = 0; joined < sections.count; ++joined) {
        std::unique_lock<std::mutex> guard(sections.lock);
        while (!sections.done[joined]) {
            if (sections.next < sections.count) {
                guard.unlock();
                ParseSections(&sections, &rows, true);
                guard.lock();
            } else {
                sections.finished.wait(guard);
            }
        }
        TokenStream section = std::move(sections.parsed[joined]);
        guard.unlock();
        AppendSection(stream, section);
        ReportProgress(report, std::min<uint64_t>(uint64_t(joined + 1) * FAST_SECTION_BYTES, stream.size));
    }
    for (std::thread& worker : workers) worker.join();
}
