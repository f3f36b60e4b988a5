// The best level's near matches: a short chain of 2-byte matches for the near
// offsets where even 2 bytes pay, over every position in order. Only the last
// NEAR_MAX_OFFSET positions matter to a search, so a chain may start anywhere
// by adding just those: batches of positions can be searched on either thread
// with the results of one chain over the whole input.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/match_finder.h"

constexpr uint32_t NEAR_RING = 1024;
constexpr uint32_t NEAR_MAX_OFFSET = 638;   // beyond it a 2-byte copy has no token

struct NearMatches {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t added = 0;              // positions below this are in the chain
    std::vector<int32_t> heads;      // per 2-byte value: its latest position
    std::vector<int32_t> previous;   // ring over the last NEAR_RING positions
};

void InitNearMatches(NearMatches& near, const uint8_t* data, uint32_t size);

// Adds the positions before position that a search there reaches and are not
// in the chain yet, then position itself, and appends to candidates its near
// matches of at most maxLength bytes (lengths rising). Positions only grow
// from one call to the next, and may leap.
void FindNearMatches(NearMatches& near, uint32_t position, uint32_t maxLength, std::vector<MatchCandidate>& candidates);
