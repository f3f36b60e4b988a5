#include "codec/near_matches.h"

#include "codec/match_length.h"

namespace {

constexpr uint32_t NEAR_CHAIN_STEPS = 8;

int32_t AddPosition(NearMatches& near, uint32_t position) {
    if (position + 2 > near.size) return -1;
    uint32_t key = near.data[position] | near.data[position + 1] << 8;
    int32_t candidate = near.heads[key];
    near.heads[key] = int32_t(position);
    near.previous[position % NEAR_RING] = candidate;
    return candidate;
}

}   // namespace

void InitNearMatches(NearMatches& near, const uint8_t* data, uint32_t size) {
    near.data = data;
    near.size = size;
    near.added = 0;
    near.heads.assign(1 << 16, -1);
    near.previous.assign(NEAR_RING, -1);
}

void FindNearMatches(NearMatches& near, uint32_t position, uint32_t maxLength,
                     std::vector<MatchCandidate>& candidates) {
    // After a leap the chain holds older positions: a search stops at the
    // first beyond NEAR_MAX_OFFSET, so it never follows them.
    if (position - near.added > NEAR_MAX_OFFSET) near.added = position - NEAR_MAX_OFFSET;
    for (; near.added < position; ++near.added) AddPosition(near, near.added);
    int32_t candidate = AddPosition(near, position);
    near.added = position + 1;
    uint32_t best = 1;
    for (uint32_t step = 0; candidate >= 0 && step < NEAR_CHAIN_STEPS; ++step) {
        uint32_t offset = position - uint32_t(candidate);
        if (offset > NEAR_MAX_OFFSET) break;
        uint32_t length = MatchLength(near.data + candidate, near.data + position, maxLength);
        if (length > best) {
            best = length;
            candidates.push_back({length, offset});
        }
        candidate = near.previous[uint32_t(candidate) % NEAR_RING];
    }
}
