#include "codec/match_finder.h"

#include <algorithm>

#include "codec/match_length.h"
#include "codec/tokens.h"

namespace {

constexpr uint32_t TREE_CUT = 32;   // tree nodes visited per position
constexpr uint32_t TREE_MIN_BYTES = 3;
constexpr uint32_t PREFETCH_DISTANCE = 4;   // positions between a root's prefetch and its use
// Roots for at most 4 Mi hashes (16 MiB): inputs hold far fewer distinct 3-byte
// strings, and the few that share a tree part at its first node. Measured on
// Wine's DLLs and the mixed tree, 24 bits give the same bytes for 48 MiB more.
constexpr uint32_t MAX_ROOT_BITS = 22;

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

}   // namespace

void InitMatchFinder(MatchFinder& finder, const uint8_t* data, uint32_t size) {
    finder.data = data;
    finder.size = size;
    uint32_t bits = 12;
    while (bits < MAX_ROOT_BITS && (1u << bits) < size) ++bits;
    finder.hashShift = 32 - bits;
    // Small pages: asking for huge ones saved 8% of the user time but made
    // the kernel compact memory for 2.4 to 3.7 s of system time when it was
    // fragmented, a stall no user could predict.
    finder.treeRoots.assign(size_t(1) << bits, -1);
    finder.treeChildren.assign(2 * size_t(size), -1);
}

void FindMatches(MatchFinder& finder, uint32_t position, uint32_t maxLength, std::vector<MatchCandidate>& candidates) {
    PrefetchAhead(finder, position);
    uint32_t limit = std::min(maxLength, finder.size - position);
    if (limit >= TREE_MIN_BYTES) UpdateTree(finder, position, limit, &candidates);
}

void KeepStaircase(std::vector<MatchCandidate>& candidates) {
    std::sort(candidates.begin(), candidates.end(), [](const MatchCandidate& a, const MatchCandidate& b) {
        return a.length != b.length ? a.length > b.length : a.offset < b.offset;
    });
    size_t kept = 0;
    for (size_t index = 0; index < candidates.size(); ++index)
        if (kept == 0 || candidates[index].offset < candidates[kept - 1].offset) candidates[kept++] = candidates[index];
    candidates.resize(kept);
    std::reverse(candidates.begin(), candidates.end());
}
