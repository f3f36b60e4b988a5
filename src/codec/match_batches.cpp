#include "codec/match_batches.h"

#include "codec/match_length.h"

namespace {

// Enough batches in flight to ride out the parser's slow stretches; each is
// a few hundred kilobytes at most.
constexpr size_t RING_BATCHES = 4;
constexpr size_t RESULTS_PER_BATCH = 4096;

void FillBatch(MatchBatches& batches, MatchBatch& batch) {
    MatchFinder& finder = batches.finder;
    batch.results.clear();
    batch.candidates.clear();
    while (batch.results.size() < RESULTS_PER_BATCH && batches.nextPosition < finder.size) {
        uint32_t position = batches.nextPosition;
        std::vector<MatchCandidate>& found = batches.found;
        uint32_t count = FindMatches(finder, position, batches.longCopyLength, found);
        PositionMatches result{position, uint32_t(batch.candidates.size()), count, 0};
        batch.candidates.insert(batch.candidates.end(), found.begin(), found.end());
        if (count > 0 && found.back().length >= batches.longCopyLength) {
            uint32_t offset = found.back().offset;
            result.copyLength =
                MatchLength(finder.data + position - offset, finder.data + position, finder.size - position);
            for (uint32_t skipped = position + 1; skipped < position + result.copyLength; ++skipped)
                SkipPosition(finder, skipped);
        }
        batch.results.push_back(result);
        batches.nextPosition = position + (result.copyLength > 0 ? result.copyLength : 1);
    }
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
        FillBatch(*batches, batches->ring[index % batches->ring.size()]);
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
                       uint32_t threads) {
    InitMatchFinder(batches.finder, data, size);
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
