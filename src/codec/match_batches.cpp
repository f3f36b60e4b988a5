#include "codec/match_batches.h"

#include <algorithm>

#include "codec/fast_parser.h"
#include "codec/match_length.h"
#include "codec/tokens.h"

namespace {

// Enough batches in flight to ride out the slow stretches of either side,
// which on the text tree last longer than four batches; each is a few hundred
// kilobytes at most.
constexpr size_t RING_BATCHES = 16;
constexpr size_t RESULTS_PER_BATCH = 4096;

// Raw bytes from position through the stored sections it is in and those that
// follow, in whole runs; 0 when position is in none, or when less than a run
// is left of them.
uint32_t RawLength(const MatchBatches& batches, uint32_t position) {
    size_t section = position / FAST_SECTION_BYTES;
    if (section >= batches.storedSections.size() || !batches.storedSections[section]) return 0;
    while (section < batches.storedSections.size() && batches.storedSections[section]) ++section;
    uint32_t end = uint32_t(std::min<uint64_t>(uint64_t(section) * FAST_SECTION_BYTES, batches.finder.size));
    return (end - position) / RAW_RUN_BYTES * RAW_RUN_BYTES;
}

void FillBatch(MatchBatches& batches, MatchBatch& batch) {
    MatchFinder& finder = batches.finder;
    batch.results.clear();
    batch.candidates.clear();
    batch.complete = false;
    while (batch.results.size() < RESULTS_PER_BATCH && batches.nextPosition < finder.size) {
        uint32_t position = batches.nextPosition;
        if (uint32_t raw = RawLength(batches, position)) {
            batch.results.push_back(PositionMatches{position, uint32_t(batch.candidates.size()), 0, raw, 0});
            batches.nextPosition = position + raw;
            batches.aheadTaken = batches.aheadCount = 0;
            continue;
        }
        // Positions are searched a few at a time; the matches of the later
        // ones wait here for their turn, and are dropped when a long copy or
        // raw runs cover them.
        if (batches.aheadTaken == batches.aheadCount) {
            uint32_t count = std::min(WALKS_AT_ONCE, finder.size - position);
            for (uint32_t walk = 0; walk < count; ++walk) batches.ahead[walk].clear();
            FindMatchesAtOnce(finder, position, count, batches.longCopyLength, batches.ahead);
            batches.aheadTaken = 0;
            batches.aheadCount = count;
        }
        const std::vector<MatchCandidate>& found = batches.ahead[batches.aheadTaken++];
        PositionMatches result{position, uint32_t(batch.candidates.size()), uint32_t(found.size()), 0, 0};
        batch.candidates.insert(batch.candidates.end(), found.begin(), found.end());
        if (!found.empty() && found.back().length >= batches.longCopyLength) {
            uint32_t offset = found.back().offset;
            result.copyOffset = offset;
            result.copyLength =
                MatchLength(finder.data + position - offset, finder.data + position, finder.size - position);
            batches.aheadTaken = batches.aheadCount = 0;
        }
        batch.results.push_back(result);
        batches.nextPosition = position + (result.copyLength > 0 ? result.copyLength : 1);
    }
}

// Adds the near matches to each result's tree matches and keeps a staircase.
void CompleteBatch(const MatchBatches& batches, MatchBatch& batch, BatchCompleter& completer) {
    completer.candidates.clear();
    for (PositionMatches& result : batch.results) {
        std::vector<MatchCandidate>& nearFound = completer.nearFound;
        nearFound.clear();
        if (result.copyLength > 0 && result.copyOffset == 0) {   // raw runs: no candidates
            result.firstCandidate = uint32_t(completer.candidates.size());
            continue;
        }
        uint32_t limit = std::min(batches.longCopyLength, batches.finder.size - result.position);
        FindNearMatches(completer.near, result.position, limit, nearFound);
        uint32_t first = uint32_t(completer.candidates.size());
        AppendStaircase(nearFound.data(), nearFound.size(), batch.candidates.data() + result.firstCandidate,
                        result.candidateCount, completer.candidates);
        result.firstCandidate = first;
        result.candidateCount = uint32_t(completer.candidates.size()) - first;
    }
    batch.candidates.swap(completer.candidates);
    batch.complete = true;
}

void RunFinder(MatchBatches* batches) {
    for (;;) {
        uint64_t index;
        {
            std::unique_lock<std::mutex> guard(batches->lock);
            batches->changed.wait(guard, [batches] {
                return batches->stopping || batches->filled - batches->released < batches->ring.size();
            });
            if (batches->stopping) return;
            index = batches->filled;
        }
        MatchBatch& batch = batches->ring[index % batches->ring.size()];
        FillBatch(*batches, batch);
        // With the ring all but full the parser is the slower side: take on
        // its near matches. Otherwise the finder is, and leaves them to it.
        bool parserBehind;
        {
            std::lock_guard<std::mutex> guard(batches->lock);
            parserBehind = batches->filled - batches->released + 1 >= batches->ring.size();
        }
        if (parserBehind) CompleteBatch(*batches, batch, batches->finderCompleter);
        {
            std::lock_guard<std::mutex> guard(batches->lock);
            batches->filled = index + 1;
        }
        batches->changed.notify_all();
        if (batches->nextPosition >= batches->finder.size) return;
    }
}

}   // namespace

void StartMatchBatches(MatchBatches& batches, const uint8_t* data, uint32_t size, uint32_t longCopyLength,
                       std::vector<uint8_t> storedSections, uint32_t threads) {
    batches.storedSections = std::move(storedSections);
    InitMatchFinder(batches.finder, data, size);
    InitNearMatches(batches.finderCompleter.near, data, size);
    InitNearMatches(batches.parserCompleter.near, data, size);
    batches.longCopyLength = longCopyLength;
    batches.ring.resize(threads > 1 ? RING_BATCHES : 1);
    if (threads > 1 && size > 0) batches.worker = std::thread(RunFinder, &batches);
}

const PositionMatches& PeekMatches(MatchBatches& batches, const MatchCandidate** candidates) {
    MatchBatch* batch = &batches.ring[batches.released % batches.ring.size()];
    if (!batches.holding) {
        if (batches.worker.joinable()) {
            std::unique_lock<std::mutex> guard(batches.lock);
            batches.changed.wait(guard, [&batches] { return batches.filled > batches.released; });
        } else {
            FillBatch(batches, *batch);
            ++batches.filled;
        }
        if (!batch->complete) CompleteBatch(batches, *batch, batches.parserCompleter);
        batches.holding = true;
        batches.reading = 0;
    }
    const PositionMatches& result = batch->results[batches.reading];
    if (candidates) *candidates = batch->candidates.data() + result.firstCandidate;
    return result;
}

void TakeMatches(MatchBatches& batches) {
    if (++batches.reading < batches.ring[batches.released % batches.ring.size()].results.size()) return;
    // The batch is used up: the finder may fill it again.
    {
        std::lock_guard<std::mutex> guard(batches.lock);
        ++batches.released;
    }
    batches.changed.notify_all();
    batches.holding = false;
}

void StopMatchBatches(MatchBatches& batches) {
    if (!batches.worker.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(batches.lock);
        batches.stopping = true;
    }
    batches.changed.notify_all();
    batches.worker.join();
}
