#include "codec/stored_sections.h"

#include <atomic>
#include <cmath>
#include <thread>

#include "codec/fast_parser.h"

namespace {

// Below this many bits a byte by their counts, a section always shrinks.
constexpr double SPREAD_BITS_PER_BYTE = 7.5;

bool SpreadOverAllValues(const uint8_t* bytes, uint32_t size) {
    uint32_t counts[256] = {};
    for (uint32_t index = 0; index < size; ++index) ++counts[bytes[index]];
    double bits = 0;
    for (uint32_t count : counts)
        if (count) bits += count * std::log2(double(size) / count);
    return bits >= SPREAD_BITS_PER_BYTE * size;
}

struct Candidates {
    const uint8_t* data;
    uint32_t size;
    std::vector<uint32_t> sections;   // those to parse
    std::atomic<size_t> next{0};
    std::vector<uint8_t>* result;
};

void ParseCandidates(Candidates* candidates) {
    HashRows rows;
    for (;;) {
        size_t index = candidates->next.fetch_add(1);
        if (index >= candidates->sections.size()) return;
        uint32_t section = candidates->sections[index];
        uint32_t start = section * FAST_SECTION_BYTES;
        uint32_t end = FastSectionEnd(section, candidates->size);
        TokenStream parsed;
        StartSectionStream(parsed, candidates->data, candidates->size);
        ParseFastSection(parsed, start, end, rows);
        uint64_t bits = uint64_t(parsed.writer.bytes.size()) * 8 + parsed.writer.pendingCount;
        (*candidates->result)[section] = bits >= uint64_t(end - start) * 8;
    }
}

}   // namespace

std::vector<uint8_t> SectionsThatDoNotShrink(const uint8_t* data, uint32_t size, uint32_t threads) {
    uint32_t count = FastSectionCount(size);
    std::vector<uint8_t> result(count, 0);
    Candidates candidates{data, size, {}, {}, &result};
    for (uint32_t section = 0; section < count; ++section) {
        uint32_t start = section * FAST_SECTION_BYTES;
        if (SpreadOverAllValues(data + start, FastSectionEnd(section, size) - start))
            candidates.sections.push_back(section);
    }
    std::vector<std::thread> workers;
    for (uint32_t worker = 1; worker < threads && worker < candidates.sections.size(); ++worker)
        workers.emplace_back(ParseCandidates, &candidates);
    ParseCandidates(&candidates);
    for (std::thread& worker : workers) worker.join();
    return result;
}
