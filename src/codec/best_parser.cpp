// Best level: optimal parsing. A chunk of positions is priced forward with the
// exact bits of every token; each position keeps its few cheapest arrivals,
// which differ in the state that later prices depend on (last offset, literal
// width and base), and the cheapest path to the chunk's end is written.
#include <algorithm>
#include <vector>

#include "codec/match_batches.h"
#include "codec/parsers.h"
#include "codec/stored_sections.h"
#include "codec/tokens.h"

namespace {

constexpr uint32_t CHUNK_POSITIONS = 4096;    // a multiple of RAW_RUN_BYTES
constexpr uint32_t NICE_LENGTH = 96;          // a copy this long is taken at once
constexpr uint32_t EVERY_LENGTH_UP_TO = 40;   // longer copies are priced at full length only
constexpr uint32_t ARRIVALS = 4;
constexpr uint32_t BASE_SEGMENT = 4096;   // 7-bit literal base chosen per segment
constexpr uint32_t NO_COST = UINT32_MAX;
constexpr uint32_t NARROW_MISS_SHARE = 16;
constexpr uint32_t NO_NARROW_BASE = 256;

enum Edge : uint8_t {
    EDGE_START,
    EDGE_LITERAL,
    EDGE_SETTING_LITERAL,
    EDGE_ZERO,
    EDGE_NEAR,
    EDGE_RAW,
    EDGE_REPEAT,
    EDGE_SHORT,
    EDGE_MATCH
};

struct State {
    uint32_t lastOffset;
    uint8_t literalWidth;
    uint8_t literalBase;
};

// The state as one key, so that arrivals compare in one step.
uint64_t StateKey(uint32_t lastOffset, uint32_t literalWidth, uint32_t literalBase) {
    return lastOffset | uint64_t(literalWidth) << 32 | uint64_t(literalBase) << 40;
}

State KeyState(uint64_t key) { return State{uint32_t(key), uint8_t(key >> 32), uint8_t(key >> 40)}; }

// How an arrival came: the edge into its position, of length bytes, from the
// arrival fromSlot at the position length bytes before.
struct Link {
    uint32_t length;
    uint32_t offset;
    Edge edge;
    uint8_t fromSlot;
};

bool FitsNarrow(uint8_t byte, uint8_t base) { return uint8_t(byte - base) < 128; }

// The base whose 128 values cover most bytes of the segment, or NO_NARROW_BASE
// when even that leaves more than one byte in NARROW_MISS_SHARE outside: there a
// switch to 7-bit literals would soon have to be undone.
uint32_t NarrowBase(const uint8_t* data, uint32_t size) {
    uint32_t counts[256] = {};
    for (uint32_t index = 0; index < size; ++index) ++counts[data[index]];
    uint32_t covered = 0;
    for (uint32_t value = 0; value < 128; ++value) covered += counts[value];
    uint32_t best = covered, bestBase = 0;
    for (uint32_t base = 1; base < 256; ++base) {
        covered += counts[(base + 127) & 0xFF];
        covered -= counts[base - 1];
        if (covered > best) {
            best = covered;
            bestBase = base;
        }
    }
    return best >= size - size / NARROW_MISS_SHARE ? bestBase : NO_NARROW_BASE;
}

// ARRIVALS slots per chunk position, cheapest first, kept side by side: the
// costs (read by every offer), the states (read by the offers that pass) and
// the links (read by the path). A slot's cost is NO_COST when it is empty.
struct Arrivals {
    std::vector<uint32_t> costs;
    std::vector<uint64_t> states;
    std::vector<Link> links;
    uint32_t cleared = 0;   // positions up to this one are reset for the chunk
};

struct BestParser {
    TokenStream* stream = nullptr;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    MatchBatches matches;
    const MatchCandidate* candidates = nullptr;   // the current position's, lengths rising
    uint32_t candidateCount = 0;
    Arrivals arrivals;
    std::vector<size_t> path;            // WritePath's, kept for its memory
    std::vector<uint32_t> narrowBases;   // per BASE_SEGMENT
    State state{1, WIDE_LITERAL_BITS, 0};
};

// Empties the slots of the positions after the last one reset, up to target:
// a chunk resets only the positions its edges reach.
void ResetUpTo(Arrivals& arrivals, uint32_t target) {
    std::fill(arrivals.costs.begin() + size_t(arrivals.cleared + 1) * ARRIVALS,
              arrivals.costs.begin() + size_t(target + 1) * ARRIVALS, NO_COST);
    arrivals.cleared = target;
}

// Offers the edge of length bytes from chunk position from (its arrival in
// fromSlot, which cost cost so far) and keeps it at the target if it is among
// the ARRIVALS cheapest there, one per state, the target's slots already
// reset. Most offers lose to what the target has: not cheaper than the
// dearest kept means not cheaper than the one of its own state either.
inline void KeepOffer(Arrivals& arrivals, uint32_t from, uint32_t fromSlot, uint32_t cost, Edge edge, uint32_t offset,
                      uint32_t length, uint64_t state) {
    uint32_t target = from + length;
    uint32_t* costs = &arrivals.costs[size_t(target) * ARRIVALS];
    if (cost >= costs[ARRIVALS - 1]) return;
    uint64_t* states = &arrivals.states[size_t(target) * ARRIVALS];
    Link* links = &arrivals.links[size_t(target) * ARRIVALS];
    uint32_t slot = ARRIVALS - 1;
    // Kept arrivals come first, so the first empty slot ends the search.
    for (uint32_t index = 0; index < ARRIVALS; ++index) {
        if (costs[index] == NO_COST) {
            slot = index;
            break;
        }
        if (states[index] == state) {
            if (cost >= costs[index]) return;
            slot = index;
            break;
        }
    }
    // Shift the dearer ones down and put the offer in its place.
    for (; slot > 0 && cost < costs[slot - 1]; --slot) {
        costs[slot] = costs[slot - 1];
        states[slot] = states[slot - 1];
        links[slot] = links[slot - 1];
    }
    costs[slot] = cost;
    states[slot] = state;
    links[slot] = Link{length, offset, edge, uint8_t(fromSlot)};
}

// KeepOffer, resetting the target's slots first if they are not yet.
inline void Offer(Arrivals& arrivals, uint32_t from, uint32_t fromSlot, uint32_t cost, Edge edge, uint32_t offset,
                  uint32_t length, uint64_t state) {
    if (from + length > arrivals.cleared) ResetUpTo(arrivals, from + length);
    KeepOffer(arrivals, from, fromSlot, cost, edge, offset, length, state);
}

// Offers copies at offset of every length from take to longest (past
// EVERY_LENGTH_UP_TO, longest alone), each costing cost plus the gamma code
// of its length less adjustment; returns the length after the last offered.
// The gamma code grows only at powers of two, so its size is worked out once
// per power: the lengths are most of the offers.
inline uint32_t OfferLengths(Arrivals& arrivals, uint32_t from, uint32_t fromSlot, uint32_t cost, Edge edge,
                             uint32_t offset, uint32_t take, uint32_t longest, uint32_t adjustment, uint64_t state) {
    if (take > longest) return take;
    if (from + longest > arrivals.cleared) ResetUpTo(arrivals, from + longest);
    uint32_t eachUpTo = std::min(longest, EVERY_LENGTH_UP_TO);
    while (take <= eachUpTo) {
        uint32_t value = take - adjustment;
        uint32_t lengthCost = cost + GammaBits(value);
        uint32_t samePower = std::min(eachUpTo, adjustment + (2u << (31 - __builtin_clz(value))) - 1);
        for (; take <= samePower; ++take) KeepOffer(arrivals, from, fromSlot, lengthCost, edge, offset, take, state);
    }
    if (take <= longest) {
        KeepOffer(arrivals, from, fromSlot, cost + GammaBits(longest - adjustment), edge, offset, longest, state);
        take = longest + 1;
    }
    return take;
}

// Whether an arrival of cheaperCost, given a literal setting to state's, is
// no dearer than one of cost in state: then every path on from the dearer
// costs at least as much from the cheaper, as long as both reach the same
// last offset.
bool BecomesNoDearer(uint32_t cheaperCost, uint32_t cost, const State& state) {
    return cheaperCost + LiteralSettingBits(state.literalWidth) <= cost;
}

// An arrival that a cheaper one of the same last offset can become so.
bool Overtaken(const Arrivals& arrivals, uint32_t index, uint32_t slot, uint32_t cost, const State& state) {
    for (uint32_t cheaper = 0; cheaper < slot; ++cheaper) {
        size_t at = size_t(index) * ARRIVALS + cheaper;
        if (KeyState(arrivals.states[at]).lastOffset == state.lastOffset &&
            BecomesNoDearer(arrivals.costs[at], cost, state))
            return true;
    }
    return false;
}

// Prices every edge out of chunk position index (input position start + index).
void RelaxPosition(BestParser& parser, uint32_t start, uint32_t index, uint32_t chunkLength, uint32_t width) {
    const uint8_t* data = parser.data;
    Arrivals& arrivals = parser.arrivals;
    uint32_t position = start + index;
    uint32_t room = chunkLength - index;
    uint8_t byte = data[position];
    uint32_t nearOffset = 0;
    for (uint32_t offset = 1; offset <= NEAR_BYTE_MAX_OFFSET && offset <= position && !nearOffset; ++offset)
        if (data[position - offset] == byte) nearOffset = offset;
    uint32_t segmentBase = parser.narrowBases[position / BASE_SEGMENT];
    const MatchCandidate* candidatesEnd = parser.candidates + parser.candidateCount;
    bool wideDone = false, narrowDone = false;

    for (uint32_t slot = 0; slot < ARRIVALS; ++slot) {
        // Offers only ever land further on, so this position's slots stay put.
        uint32_t cost = arrivals.costs[size_t(index) * ARRIVALS + slot];
        if (cost == NO_COST) break;
        uint64_t key = arrivals.states[size_t(index) * ARRIVALS + slot];
        State state = KeyState(key);
        if (Overtaken(arrivals, index, slot, cost, state)) continue;
        // One byte.
        if (byte == 0) {
            Offer(arrivals, index, slot, cost + NIBBLE_TOKEN_BITS, EDGE_ZERO, 0, 1, key);
        } else if (nearOffset) {
            Offer(arrivals, index, slot, cost + NIBBLE_TOKEN_BITS, EDGE_NEAR, nearOffset, 1, key);
        } else {
            bool narrow = state.literalWidth == NARROW_LITERAL_BITS;
            if (!narrow || FitsNarrow(byte, state.literalBase))
                Offer(arrivals, index, slot, cost + LITERAL_PREFIX_BITS + state.literalWidth, EDGE_LITERAL, 0, 1, key);
            // Or change the literal setting first.
            if (narrow)
                Offer(arrivals, index, slot,
                      cost + LiteralSettingBits(WIDE_LITERAL_BITS) + LITERAL_PREFIX_BITS + WIDE_LITERAL_BITS,
                      EDGE_SETTING_LITERAL, 0, 1, StateKey(state.lastOffset, WIDE_LITERAL_BITS, 0));
            if (segmentBase != NO_NARROW_BASE && FitsNarrow(byte, uint8_t(segmentBase)) &&
                (!narrow || state.literalBase != segmentBase))
                Offer(arrivals, index, slot,
                      cost + LiteralSettingBits(NARROW_LITERAL_BITS) + LITERAL_PREFIX_BITS + NARROW_LITERAL_BITS,
                      EDGE_SETTING_LITERAL, 0, 1, StateKey(state.lastOffset, NARROW_LITERAL_BITS, segmentBase));
        }
        // A raw run through incompressible bytes.
        if (slot == 0 && room >= RAW_RUN_BYTES)
            Offer(arrivals, index, slot, cost + ESCAPE_BITS + RAW_RUN_BYTES * 8 + 1, EDGE_RAW, 0, RAW_RUN_BYTES, key);
        // The last offset again.
        if (state.lastOffset <= position) {
            uint32_t length = MatchLength(data + position - state.lastOffset, data + position, room);
            OfferLengths(arrivals, index, slot, cost + RepeatOffsetBits(), EDGE_REPEAT, state.lastOffset,
                         MIN_GAMMA_LENGTH, length, 0, key);
        }
        // New offsets: they all end in the same last offset, so only the
        // cheapest arrival of each literal state needs them, and of the other
        // state only one that the cheapest cannot become (as above).
        bool& done = state.literalWidth == WIDE_LITERAL_BITS ? wideDone : narrowDone;
        if (done) continue;
        done = true;
        if (slot > 0 && BecomesNoDearer(arrivals.costs[size_t(index) * ARRIVALS], cost, state)) continue;
        uint32_t take = MIN_GAMMA_LENGTH;
        for (const MatchCandidate* candidate = parser.candidates; candidate != candidatesEnd; ++candidate) {
            uint32_t offset = candidate->offset;
            uint32_t longest = std::min(candidate->length, room);
            uint64_t copied = StateKey(offset, state.literalWidth, state.literalBase);
            if (offset <= SHORT_MATCH_MAX_OFFSET)
                for (; take <= longest && take <= SHORT_MATCH_MAX_LENGTH; ++take)
                    Offer(arrivals, index, slot, cost + SHORT_MATCH_BITS, EDGE_SHORT, offset, take, copied);
            uint32_t adjustment = MatchLengthAdjustment(offset);
            if (take < MIN_GAMMA_LENGTH + adjustment) take = std::min(MIN_GAMMA_LENGTH + adjustment, longest + 1);
            uint32_t offsetCost = cost + GAMMA_MATCH_PREFIX_BITS + OffsetBits(offset, width);
            take =
                OfferLengths(arrivals, index, slot, offsetCost, EDGE_MATCH, offset, take, longest, adjustment, copied);
        }
    }
}

// Runs that follow each other are one token with continuation bits.
void AddRawRuns(TokenStream& stream, uint32_t position, uint32_t length) {
    if (!stream.pending.empty()) {
        Token& last = stream.pending.back();
        if (last.kind == TOKEN_RAW_RUNS && last.position + last.length == position) {
            last.length += length;
            return;
        }
    }
    AddToken(stream, Token{TOKEN_RAW_RUNS, 0, position, 0, length});
}

// The tokens of the edge that link took into position target (of the chunk
// from start) in state.
void AddEdgeTokens(BestParser& parser, uint32_t start, uint32_t target, const Link& arrival, const State& state) {
    uint32_t position = start + target - arrival.length;
    switch (arrival.edge) {
    case EDGE_START:
        break;
    case EDGE_SETTING_LITERAL:
        AddToken(*parser.stream, Token{TOKEN_LITERAL_SETTING, state.literalBase, position, 0, state.literalWidth});
        AddToken(*parser.stream, Token{TOKEN_LITERAL, 0, position, 0, 1});
        break;
    case EDGE_LITERAL:
        AddToken(*parser.stream, Token{TOKEN_LITERAL, 0, position, 0, 1});
        break;
    case EDGE_ZERO:
        AddToken(*parser.stream, Token{TOKEN_ZERO_BYTE, 0, position, 0, 1});
        break;
    case EDGE_NEAR:
        AddToken(*parser.stream, Token{TOKEN_NEAR_BYTE, 0, position, arrival.offset, 1});
        break;
    case EDGE_RAW:
        AddRawRuns(*parser.stream, position, arrival.length);
        break;
    case EDGE_REPEAT:
        AddToken(*parser.stream, Token{TOKEN_REPEAT_MATCH, 0, position, arrival.offset, arrival.length});
        break;
    case EDGE_SHORT:
        AddToken(*parser.stream, Token{TOKEN_SHORT_MATCH, 0, position, arrival.offset, arrival.length});
        break;
    case EDGE_MATCH:
        AddToken(*parser.stream, Token{TOKEN_MATCH, 0, position, arrival.offset, arrival.length});
        break;
    }
}

// Writes the cheapest path to chunk position end and takes on its state.
void WritePath(BestParser& parser, uint32_t start, uint32_t end) {
    const Arrivals& arrivals = parser.arrivals;
    std::vector<size_t>& path = parser.path;   // slot indexes, from the end back
    path.clear();
    for (size_t at = size_t(end) * ARRIVALS; arrivals.links[at].edge != EDGE_START;) {
        path.push_back(at);
        const Link& link = arrivals.links[at];
        at = (at / ARRIVALS - link.length) * ARRIVALS + link.fromSlot;
    }
    parser.state = KeyState(arrivals.states[size_t(end) * ARRIVALS]);
    for (size_t index = path.size(); index-- > 0;) {
        size_t at = path[index];
        AddEdgeTokens(parser, start, uint32_t(at / ARRIVALS), arrivals.links[at], KeyState(arrivals.states[at]));
    }
}

// Parses from start; returns where the next chunk starts.
uint32_t ParseChunk(BestParser& parser, uint32_t start) {
    uint32_t chunkLength = std::min(CHUNK_POSITIONS, parser.size - start);
    Arrivals& arrivals = parser.arrivals;
    std::fill(arrivals.costs.begin(), arrivals.costs.begin() + ARRIVALS, NO_COST);
    arrivals.cleared = 0;
    arrivals.costs[0] = 0;
    arrivals.states[0] = StateKey(parser.state.lastOffset, parser.state.literalWidth, parser.state.literalBase);
    arrivals.links[0] = Link{0, 0, EDGE_START, 0};
    uint32_t width = parser.stream->offsetWidth;
    for (uint32_t index = 0; index < chunkLength; ++index) {
        uint32_t position = start + index;
        // The result and its candidates stay valid until they are taken.
        const PositionMatches& found = PeekMatches(parser.matches, &parser.candidates);
        parser.candidateCount = found.candidateCount;
        uint32_t copyLength = found.copyLength;
        if (copyLength == 0) {
            RelaxPosition(parser, start, index, chunkLength, width);
            TakeMatches(parser.matches);
            continue;
        }
        uint32_t offset = found.copyOffset;
        TakeMatches(parser.matches);
        // A long copy or raw runs, whose bytes the finder has passed over:
        // write the path to here, then them.
        WritePath(parser, start, index);
        uint32_t end = position + copyLength;
        if (offset == 0) {
            AddRawRuns(*parser.stream, position, copyLength);
            return end;
        }
        uint32_t last = parser.state.lastOffset;
        uint32_t repeatLength = last <= position ? MatchLength(parser.data + position - last, parser.data + position,
                                                               parser.size - position)
                                                 : 0;
        if (repeatLength < copyLength) {
            AddToken(*parser.stream, Token{TOKEN_MATCH, 0, position, offset, copyLength});
            parser.state.lastOffset = offset;
            return end;
        }
        // The last offset covers it, maybe further: a repeat, to the last
        // position within its reach that the finder has a result for.
        while (end < parser.size) {
            const PositionMatches& next = PeekMatches(parser.matches, nullptr);
            uint32_t nextEnd = next.position + std::max(next.copyLength, 1u);
            if (nextEnd > position + repeatLength) break;
            TakeMatches(parser.matches);
            end = nextEnd;
        }
        AddToken(*parser.stream, Token{TOKEN_REPEAT_MATCH, 0, position, last, end - position});
        return end;
    }
    WritePath(parser, start, chunkLength);
    return start + chunkLength;
}

}   // namespace

void ParseBest(TokenStream& stream, uint32_t threads, const ProgressReport& report) {
    BestParser parser;
    parser.stream = &stream;
    parser.data = stream.data;
    parser.size = stream.size;
    StartMatchBatches(parser.matches, parser.data, parser.size, NICE_LENGTH,
                      SectionsThatDoNotShrink(parser.data, parser.size, threads), threads);
    parser.arrivals.costs.resize(size_t(CHUNK_POSITIONS + 1) * ARRIVALS);
    parser.arrivals.states.resize(size_t(CHUNK_POSITIONS + 1) * ARRIVALS);
    parser.arrivals.links.resize(size_t(CHUNK_POSITIONS + 1) * ARRIVALS);
    for (uint32_t segment = 0; segment < parser.size; segment += BASE_SEGMENT)
        parser.narrowBases.push_back(NarrowBase(parser.data + segment, std::min(BASE_SEGMENT, parser.size - segment)));
    uint32_t segmentEnd = SEGMENT_BYTES;
    uint32_t position = 0;
    while (position < parser.size) {
        if (position >= segmentEnd) {
            FlushSegment(stream);
            ReportProgress(report, position);
            segmentEnd = position + SEGMENT_BYTES;
        }
        position = ParseChunk(parser, position);
    }
    StopMatchBatches(parser.matches);
}
