// Fast level: the latest positions of each 3-byte hash as candidates, the
// cheapest token for each match by its exact bits, and one step of lazy
// matching. A section's parse depends on its bytes and the window before it
// only, so sections can be parsed on any thread (codec/fast_sections.cpp).
#include "codec/fast_parser.h"

#include "codec/parsers.h"
#include "codec/tokens.h"

namespace {

constexpr uint32_t FAST_NICE_LENGTH = 64;   // a copy this long ends the search
constexpr uint32_t PREFETCH_DISTANCE = 8;   // positions between a row's prefetch and its search
constexpr int32_t LITERAL_ESTIMATE_BITS = 9;
constexpr uint32_t NO_LAST_OFFSET = 0;   // before a section's first match: no repeat

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

struct SectionParse {
    const uint8_t* data;
    uint32_t end;        // of the section: no copy runs past it
    uint32_t hashEnd;    // positions below it have HASHED_BYTES to hash
    uint32_t inserted;   // positions below this are in the rows
    HashRows* rows;
};

// Rows are read at random over megabytes: each insertion fetches the row of a
// position a little ahead, which the search there will want.
void InsertUpTo(SectionParse& parse, uint32_t end) {
    uint32_t stop = end < parse.hashEnd ? end : parse.hashEnd;
    for (; parse.inserted < stop; ++parse.inserted) {
        if (parse.inserted + PREFETCH_DISTANCE < parse.hashEnd)
            PrefetchRow(*parse.rows, parse.data + parse.inserted + PREFETCH_DISTANCE);
        InsertPosition(*parse.rows, parse.data, parse.inserted);
    }
    if (parse.inserted < end) parse.inserted = end;
}

Choice FindCopy(SectionParse& parse, uint32_t position, uint32_t lastOffset, uint32_t width) {
    const uint8_t* data = parse.data;
    InsertUpTo(parse, position);
    Choice best;
    uint32_t limit = parse.end - position;
    if (lastOffset != NO_LAST_OFFSET && lastOffset <= position)
        Consider(best, lastOffset, MatchLength(data + position - lastOffset, data + position, limit), lastOffset,
                 width);
    if (limit < HASHED_BYTES || position >= parse.hashEnd) return best;
    uint32_t newest;
    uint32_t row = RowAt(*parse.rows, data + position, &newest);
    const uint32_t* slots = &parse.rows->slots[row];
    uint32_t longest = best.length;
    for (uint32_t step = 0; step < ROW_WAYS; ++step) {
        uint32_t slot = (newest - step) & (ROW_WAYS - 1);
        uint32_t candidate = slots[slot];
        if (candidate >= position) break;   // an empty slot: no older ones
        const uint8_t* earlier = data + candidate;
        // Nearer candidates came first: a farther one must be longer to win.
        if (longest < limit && earlier[longest] == data[position + longest]) {
            uint32_t length = MatchLength(earlier, data + position, limit);
            if (length > longest) {
                longest = length;
                Consider(best, position - candidate, length, lastOffset, width);
                if (length >= FAST_NICE_LENGTH) break;
            }
        }
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

void ParseFastSection(TokenStream& section, uint32_t start, uint32_t end, HashRows& rows) {
    const uint8_t* data = section.data;
    uint32_t windowStart = start > FAST_WINDOW_BYTES ? start - FAST_WINDOW_BYTES : 0;
    SectionParse parse{data, end, section.size >= HASHED_BYTES ? section.size - HASHED_BYTES + 1 : 0, windowStart,
                       &rows};
    ClearHashRows(rows);
    InsertUpTo(parse, start);
    // The block starts with the decoder's last offset; a later section cannot
    // know it, so it repeats nothing before its own first copy.
    uint32_t lastOffset = start == 0 ? 1 : NO_LAST_OFFSET;
    uint32_t segmentEnd = start + SEGMENT_BYTES;
    uint32_t position = start;
    Choice next;
    bool nextKnown = false;
    while (position < end) {
        if (position >= segmentEnd) {
            FlushSegment(section);
            segmentEnd = position + SEGMENT_BYTES;
            nextKnown = false;
        }
        uint32_t width = section.offsetWidth;
        Choice here = nextKnown ? next : FindCopy(parse, position, lastOffset, width);
        nextKnown = false;
        if (here.gain > 0 && here.length < FAST_NICE_LENGTH && position + 1 < end) {
            // A better copy one byte later is worth a literal now.
            next = FindCopy(parse, position + 1, lastOffset, width);
            if (next.gain > here.gain + LITERAL_ESTIMATE_BITS) {
                here.gain = 0;
                nextKnown = true;
            }
        }
        if (here.gain <= 0) {
            AddToken(section, SingleByteToken(data, position));
            ++position;
            continue;
        }
        AddToken(section, Token{here.kind, 0, position, here.offset, here.length});
        if (here.kind != TOKEN_REPEAT_MATCH) lastOffset = here.offset;
        position += here.length;
    }
    FlushSegment(section);
}
