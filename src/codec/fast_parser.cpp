// Fast level: hash chains over the whole input, the cheapest token for each
// match by its exact bits, and one step of lazy matching.
#include <vector>

#include "codec/parsers.h"
#include "codec/tokens.h"

namespace {

constexpr uint32_t FAST_CHAIN_STEPS = 4;
constexpr uint32_t FAST_NICE_LENGTH = 32;   // a match this long ends the search
constexpr uint32_t HASHED_BYTES = 3;
constexpr int32_t LITERAL_ESTIMATE_BITS = 9;

struct HashChains {
    std::vector<int32_t> head;       // latest position for each hash, or -1
    std::vector<int32_t> previous;   // the position before it with the same hash
    uint32_t shift = 0;
    uint32_t inserted = 0;   // positions below this are in the chains
};

void InitHashChains(HashChains& chains, uint32_t size) {
    // Enough buckets for the input, and no more: small inputs stay cheap.
    uint32_t bits = 12;
    while (bits < 16 && (1u << bits) < size) ++bits;
    chains.head.assign(size_t(1) << bits, -1);
    chains.previous.assign(size, -1);
    chains.shift = 32 - bits;
}

uint32_t HashAt(const HashChains& chains, const uint8_t* at) { return (Read24(at) * 2654435761u) >> chains.shift; }

void InsertUpTo(HashChains& chains, const uint8_t* data, uint32_t size, uint32_t end) {
    for (; chains.inserted < end; ++chains.inserted) {
        uint32_t position = chains.inserted;
        if (position + HASHED_BYTES > size) continue;
        uint32_t hash = HashAt(chains, data + position);
        chains.previous[position] = chains.head[hash];
        chains.head[hash] = int32_t(position);
    }
}

struct Choice {
    TokenKind kind = TOKEN_LITERAL;
    uint32_t offset = 0;
    uint32_t length = 0;
    int32_t gain = 0;   // bits saved against literals
};

// The cheapest token for length bytes at offset; false when none can carry them.
bool PriceCopy(uint32_t offset, uint32_t length, uint32_t lastOffset, uint32_t width, Choice& choice) {
    uint32_t bits;
    if (length < MIN_GAMMA_LENGTH) return false;
    if (offset == lastOffset) {
        choice.kind = TOKEN_REPEAT_MATCH;
        bits = RepeatBits(length);
    } else if (offset <= SHORT_MATCH_MAX_OFFSET && length <= SHORT_MATCH_MAX_LENGTH) {
        choice.kind = TOKEN_SHORT_MATCH;
        bits = SHORT_MATCH_BITS;
    } else if (length >= MinMatchLength(offset)) {
        choice.kind = TOKEN_MATCH;
        bits = MatchBits(offset, length, width);
    } else {
        return false;
    }
    choice.offset = offset;
    choice.length = length;
    choice.gain = LITERAL_ESTIMATE_BITS * int32_t(length) - int32_t(bits);
    return true;
}

void Consider(Choice& best, uint32_t offset, uint32_t length, uint32_t lastOffset, uint32_t width) {
    Choice candidate;
    if (PriceCopy(offset, length, lastOffset, width, candidate) && candidate.gain > best.gain) best = candidate;
}

Choice FindCopy(HashChains& chains, const uint8_t* data, uint32_t size, uint32_t position, uint32_t lastOffset,
                uint32_t width) {
    InsertUpTo(chains, data, size, position);
    Choice best;
    uint32_t limit = size - position;
    if (lastOffset <= position)
        Consider(best, lastOffset, MatchLength(data + position - lastOffset, data + position, limit), lastOffset,
                 width);
    if (limit < HASHED_BYTES) return best;
    int32_t candidate = chains.head[HashAt(chains, data + position)];
    uint32_t longest = best.length;
    for (uint32_t step = 0; candidate >= 0 && step < FAST_CHAIN_STEPS; ++step) {
        const uint8_t* earlier = data + candidate;
        // Nearer candidates came first: a farther one must be longer to win.
        if (longest < limit && earlier[longest] == data[position + longest]) {
            uint32_t length = MatchLength(earlier, data + position, limit);
            if (length > longest) {
                longest = length;
                Consider(best, position - uint32_t(candidate), length, lastOffset, width);
                if (length >= FAST_NICE_LENGTH) break;
            }
        }
        candidate = chains.previous[candidate];
    }
    return best;
}

// One byte: a nibble token when it is 0 or repeats one of the last 14 bytes.
Token SingleByteToken(const uint8_t* data, uint32_t position) {
    uint8_t byte = data[position];
    if (byte == 0) return Token{TOKEN_ZERO_BYTE, 0, position, 0, 1};
    for (uint32_t offset = 1; offset <= NEAR_BYTE_MAX_OFFSET && offset <= position; ++offset)
        if (data[position - offset] == byte) return Token{TOKEN_NEAR_BYTE, 0, position, offset, 1};
    return Token{TOKEN_LITERAL, 0, position, 0, 1};
}

}   // namespace

void ParseFast(TokenStream& stream, uint32_t, const ProgressReport& report) {
    const uint8_t* data = stream.data;
    uint32_t size = stream.size;
    HashChains chains;
    InitHashChains(chains, size);
    uint32_t lastOffset = 1;
    uint32_t segmentEnd = SEGMENT_BYTES;
    uint32_t position = 0;
    while (position < size) {
        if (position >= segmentEnd) {
            FlushSegment(stream);
            ReportProgress(report, position);
            segmentEnd = position + SEGMENT_BYTES;
        }
        uint32_t width = stream.offsetWidth;
        Choice here = FindCopy(chains, data, size, position, lastOffset, width);
        if (here.gain > 0 && here.length < FAST_NICE_LENGTH && position + 1 < size) {
            // A better copy one byte later is worth a literal now.
            Choice next = FindCopy(chains, data, size, position + 1, lastOffset, width);
            if (next.gain > here.gain + LITERAL_ESTIMATE_BITS) here.gain = 0;
        }
        if (here.gain <= 0) {
            AddToken(stream, SingleByteToken(data, position));
            ++position;
            continue;
        }
        AddToken(stream, Token{here.kind, 0, position, here.offset, here.length});
        if (here.kind != TOKEN_REPEAT_MATCH) lastOffset = here.offset;
        position += here.length;
    }
}
