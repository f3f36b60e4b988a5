// Match finder of the best level: a binary tree per 3-byte hash over the whole
// input (every earlier position outside a long copy is a candidate), and a short chain of 2-byte
// matches for the near offsets where even 2 bytes pay.
#pragma once

#include <cstdint>
#include <vector>

struct MatchCandidate {
    uint32_t length;
    uint32_t offset;
};

struct MatchFinder {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t hashShift = 0;
    std::vector<int32_t> treeRoots;      // per hash: the latest position, root of its tree
    std::vector<int32_t> treeChildren;   // per position: smaller and larger subtree
    std::vector<int32_t> nearHeads;      // per 2-byte value: its latest position
    std::vector<int32_t> nearPrevious;   // ring over the last NEAR_RING positions
};

// Memory: 8 bytes per input byte for the tree, plus the hash roots.
void InitMatchFinder(MatchFinder& finder, const uint8_t* data, uint32_t size);

// Adds position to the finder and stores its matches, at most maxLength long,
// in candidates: lengths rise and each is the nearest found for its length.
// Positions must be given in order, each exactly once (here or to SkipPosition).
uint32_t FindMatches(MatchFinder& finder, uint32_t position, uint32_t maxLength,
                     std::vector<MatchCandidate>& candidates);

// Passes over a position inside a copy already chosen: it joins the near chain
// but not the tree, whose walk would cost as much as a search. The copy's
// start, which is in the tree, reaches the same bytes for later matches.
void SkipPosition(MatchFinder& finder, uint32_t position);

constexpr uint32_t NEAR_RING = 1024;
