// The best level's match finding as a stream of results, one per position the
// parser will visit. The tree's matches are made ahead of the parser in
// batches: on a thread of its own when more than one thread is allowed, else a
// batch at a time on the parser's. The finder alone decides which positions it
// searches (it passes over the rest of a long copy), so the results, and every
// decision the parser takes on them, are the same for any number of threads.
// The near matches, a lighter search, are added to a batch by whichever side
// has the time: the finder when the parser has batches waiting, else the
// parser; the bytes do not depend on which.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "codec/match_finder.h"
#include "codec/near_matches.h"

struct PositionMatches {
    uint32_t position;
    uint32_t firstCandidate;   // in the batch's candidates
    uint32_t candidateCount;
    // Not 0: the tree's longest match reaches the long-copy length, and
    // copyOffset copies this many bytes; or copyOffset is 0 and they are raw
    // runs through sections that do not shrink. The next result is for the
    // position after them.
    uint32_t copyLength;
    uint32_t copyOffset;
};

// Each batch, and each side's state below, on cache lines of its own: the
// finder writes one batch as the parser reads the one before it, and a shared
// line would pass between the cores at every position.
constexpr size_t CACHE_LINE_BYTES = 64;

struct alignas(CACHE_LINE_BYTES) MatchBatch {
    std::vector<PositionMatches> results;
    std::vector<MatchCandidate> candidates;
    bool complete = false;   // the near matches added: each result's candidates a staircase
};

// One side's means to complete a batch.
struct BatchCompleter {
    NearMatches near;
    std::vector<MatchCandidate> nearFound, candidates;
};

struct MatchBatches {
    // Set at the start; the finder's tables, and the ring's slots, change
    // inside.
    MatchFinder finder;
    uint32_t longCopyLength = 0;
    std::vector<uint8_t> storedSections;   // per FAST_SECTION_BYTES: 1 to cover with raw runs
    // The batches, a ring the finder fills and the parser empties in turn.
    std::vector<MatchBatch> ring;
    // The finder's side.
    alignas(CACHE_LINE_BYTES) BatchCompleter finderCompleter;
    uint32_t nextPosition = 0;
    // The matches of the positions searched at once, from nextPosition on.
    std::vector<MatchCandidate> ahead[WALKS_AT_ONCE];
    uint32_t aheadTaken = 0, aheadCount = 0;
    // Both sides', under the lock.
    alignas(CACHE_LINE_BYTES) uint64_t filled = 0;   // batches made so far
    uint64_t released = 0;                           // batches the parser is done with
    bool stopping = false;
    std::mutex lock;
    std::condition_variable changed;
    std::thread worker;   // not joinable with one thread
    // The parser's side.
    alignas(CACHE_LINE_BYTES) size_t reading = 0;   // the next result in the current batch
    bool holding = false;
    BatchCompleter parserCompleter;
};

// Starts finding matches over data; copies of at least longCopyLength bytes
// are taken whole, and the sections marked in storedSections (per
// FAST_SECTION_BYTES) are not searched. threads above 1 put the finder on a
// thread of its own.
void StartMatchBatches(MatchBatches& batches, const uint8_t* data, uint32_t size, uint32_t longCopyLength,
                       std::vector<uint8_t> storedSections, uint32_t threads);

// The result for the parser's next position and, unless candidates is null,
// its candidates (lengths rise, offsets fall), the same until TakeMatches.
// The parser takes every result in order (it may pass over the results inside
// a copy of its own), and asks for none after the last position.
const PositionMatches& PeekMatches(MatchBatches& batches, const MatchCandidate** candidates);
void TakeMatches(MatchBatches& batches);

// Stops and joins the finder's thread (also when not every result was taken).
void StopMatchBatches(MatchBatches& batches);
