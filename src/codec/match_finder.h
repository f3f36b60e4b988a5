// Match finder of the best level: a binary tree per 4-byte hash over a window
// of the latest positions (every earlier position in it outside a long copy is
// a candidate), and the latest position of each 3-byte hash. The near 2-byte
// matches come from codec/near_matches.h, on the parser's side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct MatchCandidate {
    uint32_t length;
    uint32_t offset;
};

// The farthest a tree match reaches back. Inputs up to this size are searched
// whole; larger ones keep the tree at 8 bytes per window position (256 MiB).
constexpr uint32_t TREE_WINDOW_BYTES = 1u << 25;

struct MatchFinder {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t hashShift = 0;
    uint32_t windowMask = 0;             // window slots less 1 (a power of two)
    std::vector<int32_t> heads;          // per 3-byte hash: the latest position searched
    std::vector<int32_t> treeRoots;      // per hash: the latest position, root of its tree
    std::vector<int32_t> treeChildren;   // per window position: smaller and larger subtree
};

// Memory: 8 bytes per input byte up to the window, plus the hash tables.
// windowBytes: a power of two (a smaller one for tests).
void InitMatchFinder(MatchFinder& finder, const uint8_t* data, uint32_t size, uint32_t windowBytes = TREE_WINDOW_BYTES);

// Adds position to the tree and appends its matches, at most maxLength long,
// to candidates (which it finds empty): lengths rise. Positions must come in order; those inside a
// copy already chosen may be passed over (the tree walk would cost as much as
// a search, and the copy's start reaches the same bytes for later matches).
void FindMatches(MatchFinder& finder, uint32_t position, uint32_t maxLength, std::vector<MatchCandidate>& candidates);

// Positions searched at once: each walk stalls on memory at every node, and
// walks side by side stall together.
constexpr uint32_t WALKS_AT_ONCE = 4;

// FindMatches at count positions from position on (at most WALKS_AT_ONCE),
// their walks at once, into candidates[0] to candidates[count - 1]: the same
// matches as the calls in order.
void FindMatchesAtOnce(MatchFinder& finder, uint32_t position, uint32_t count, uint32_t maxLength,
                       std::vector<MatchCandidate>* candidates);

// Appends to out the matches of two lists (each with lengths rising) worth
// pricing: each longer than the one before and nearer than every longer one
// (a longer and nearer match makes the other useless).
void AppendStaircase(const MatchCandidate* first, size_t firstCount, const MatchCandidate* second, size_t secondCount,
                     std::vector<MatchCandidate>& out);
