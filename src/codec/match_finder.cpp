#include "codec/match_finder.h"

#include <algorithm>

#include "codec/match_length.h"
#include "codec/tokens.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t TREE_CUT = 32;   // tree nodes visited per position
constexpr uint32_t NEAR_CHAIN_STEPS = 8;
constexpr uint32_t NEAR_MAX_OFFSET = 638;   // beyond it a 2-byte copy has no token
constexpr uint32_t TREE_MIN_BYTES = 3;
constexpr uint32_t PREFETCH_DISTANCE = 4;   // positions between a root's prefetch and its use

uint32_t TreeHash(const MatchFinder& finder, uint32_t position) {
    return (Read24(finder.data + position) * 2654435761u) >> finder.hashShift;
}

// Walks the tree of position's hash, records longer and longer matches, and
// re-roots the tree at position (the usual binary-tree insertion, cut short
// after TREE_CUT nodes or on a match of maxLength).
void UpdateTree(MatchFinder& finder, uint32_t position, uint32_t maxLength, std::vector<MatchCandidate>* found) {
    const uint8_t* data = finder.data;
    uint32_t hash = TreeHash(finder, position);
    int32_t candidate = finder.treeRoots[hash];
    finder.treeRoots[hash] = int32_t(position);
    int32_t* smallerSlot = &finder.treeChildren[2 * size_t(position)];
    int32_t* largerSlot = &finder.treeChildren[2 * size_t(position) + 1];
    uint32_t smallerLength = 0, largerLength = 0, best = 0;
    for (uint32_t step = 0; candidate >= 0 && step < TREE_CUT; ++step) {
        const uint8_t* earlier = data + candidate;
        uint32_t known = std::min(smallerLength, largerLength);
        uint32_t length = known + MatchLength(earlier + known, data + position + known, maxLength - known);
        int32_t* children = &finder.treeChildren[2 * size_t(candidate)];
        if (length > best) {
            best = length;
            if (found) found->push_back({length, position - uint32_t(candidate)});
            if (length == maxLength) {
                // The candidate is replaced by position in the tree.
                *smallerSlot = children[0];
                *largerSlot = children[1];
                return;
            }
        }
        if (earlier[length] < data[position + length]) {
            *smallerSlot = candidate;
            smallerSlot = &children[1];
            candidate = *smallerSlot;
            smallerLength = length;
        } else {
            *largerSlot = candidate;
            largerSlot = &children[0];
            candidate = *largerSlot;
            largerLength = length;
        }
    }
    *smallerSlot = -1;
    *largerSlot = -1;
}

void UpdateNear(MatchFinder& finder, uint32_t position, uint32_t maxLength, std::vector<MatchCandidate>* found) {
    if (position + 2 > finder.size) return;
    uint32_t key = finder.data[position] | finder.data[position + 1] << 8;
    int32_t candidate = finder.nearHeads[key];
    finder.nearHeads[key] = int32_t(position);
    finder.nearPrevious[position % NEAR_RING] = candidate;
    uint32_t best = 1;
    for (uint32_t step = 0; found && candidate >= 0 && step < NEAR_CHAIN_STEPS; ++step) {
        uint32_t offset = position - uint32_t(candidate);
        if (offset > NEAR_MAX_OFFSET) break;
        uint32_t length = MatchLength(finder.data + candidate, finder.data + position, maxLength);
        if (length > best) {
            best = length;
            found->push_back({length, offset});
        }
        candidate = finder.nearPrevious[uint32_t(candidate) % NEAR_RING];
    }
}

// The tree walk stalls on memory: its root slot is anywhere in a table of
// megabytes, and so is the first candidate's data. Positions come in order, so
// fetch the root a few positions ahead and the first node of the next one.
void PrefetchAhead(const MatchFinder& finder, uint32_t position) {
    if (position + PREFETCH_DISTANCE + TREE_MIN_BYTES > finder.size) return;
    __builtin_prefetch(&finder.treeRoots[TreeHash(finder, position + PREFETCH_DISTANCE)]);
    int32_t next = finder.treeRoots[TreeHash(finder, position + 1)];
    if (next >= 0) {
        __builtin_prefetch(finder.data + next);
        __builtin_prefetch(&finder.treeChildren[2 * size_t(next)]);
    }
}

void AddPosition(MatchFinder& finder, uint32_t position, uint32_t maxLength, std::vector<MatchCandidate>* found) {
    PrefetchAhead(finder, position);
    uint32_t limit = std::min(maxLength, finder.size - position);
    UpdateNear(finder, position, limit, found);
    if (limit >= TREE_MIN_BYTES) UpdateTree(finder, position, limit, found);
}

// The tree is read at random over 8 bytes per input byte: with
// small pages nearly every step misses the TLB as well as the cache. Ask for
// huge pages before the memory is first written.
void AssignOnHugePages(std::vector<int32_t>& table, size_t count, int32_t value) {
    table.clear();
    table.reserve(count);
    AdviseHugePages(table.data(), count * sizeof(int32_t));
    table.assign(count, value);
}

}   // namespace

void InitMatchFinder(MatchFinder& finder, const uint8_t* data, uint32_t size) {
    finder.data = data;
    finder.size = size;
    uint32_t bits = 12;
    while (bits < 24 && (1u << bits) < size) ++bits;
    finder.hashShift = 32 - bits;
    AssignOnHugePages(finder.treeRoots, size_t(1) << bits, -1);
    AssignOnHugePages(finder.treeChildren, 2 * size_t(size), -1);
    finder.nearHeads.assign(1 << 16, -1);
    finder.nearPrevious.assign(NEAR_RING, -1);
}

uint32_t FindMatches(MatchFinder& finder, uint32_t position, uint32_t maxLength,
                     std::vector<MatchCandidate>& candidates) {
    candidates.clear();
    AddPosition(finder, position, maxLength, &candidates);
    // Keep a staircase: longer matches only, each with a smaller offset than
    // every longer one kept (a longer and nearer match makes the other useless).
    std::sort(candidates.begin(), candidates.end(), [](const MatchCandidate& a, const MatchCandidate& b) {
        return a.length != b.length ? a.length > b.length : a.offset < b.offset;
    });
    size_t kept = 0;
    for (size_t index = 0; index < candidates.size(); ++index)
        if (kept == 0 || candidates[index].offset < candidates[kept - 1].offset) candidates[kept++] = candidates[index];
    candidates.resize(kept);
    std::reverse(candidates.begin(), candidates.end());
    return uint32_t(kept);
}

void SkipPosition(MatchFinder& finder, uint32_t position) { UpdateNear(finder, position, 0, nullptr); }
