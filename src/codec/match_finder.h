// Match finder of the best level: a binary tree per 3-byte hash over the whole
// input (every earlier position outside a long copy is a candidate). The near
// 2-byte matches come from codec/near_matches.h, on the parser's side.
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
};

// Memory: 8 bytes per input byte for the tree, plus the hash roots.
void InitMatchFinder(MatchFinder& finder, const uint8_t* data, uint32_t size);

// Adds position to the tree and appends its matches, at most maxLength long,
// to candidates: lengths rise. Positions must come in order; those inside a
// copy already chosen may be passed over (the tree walk would cost as much as
// a search, and the copy's start reaches the same bytes for later matches).
void FindMatches(MatchFinder& finder, uint32_t position, uint32_t maxLength, std::vector<MatchCandidate>& candidates);

// Keeps the matches worth pricing: each longer than the one before and nearer
// than every longer one (a longer and nearer match makes the other useless).
void KeepStaircase(std::vector<MatchCandidate>& candidates);
