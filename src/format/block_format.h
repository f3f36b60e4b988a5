// The compressed block: a 10-byte header (magic "JC", decoded size, block
// checksum), then a bit stream of tokens in little-endian 32-bit words, read
// from bit 31 down. The decoder (src/archive) and the encoder (src/codec) both
// take the format from here. Compiled into the stub: C-style, <stdint.h> only.
#pragma once
#include <stdint.h>

static const uint8_t BLOCK_MAGIC_FIRST = 0x4A;    // 'J'
static const uint8_t BLOCK_MAGIC_SECOND = 0x43;   // 'C'
static const uint32_t BLOCK_HEADER_SIZE = 10;
static const uint32_t BLOCK_SIZE_FIELD = 2;       // the decoded size
static const uint32_t BLOCK_CHECKSUM_FIELD = 6;   // 0: not checked
// The most input a block holds: every offset into it then fits in
// MAX_OFFSET_WIDTH bits, and every size and position in 32 bits with room.
static const uint32_t BLOCK_MAX_INPUT = 0x7FFFFFFF;

// A token starts with a prefix: the number of 0 bits before a 1, or three 0
// bits with no 1 after them.
enum TokenPrefix {
    PREFIX_LITERAL = 0,       // "1": a literal in the current literal setting
    PREFIX_GAMMA_MATCH = 1,   // "01": a copy with gamma-coded offset and length
    PREFIX_NIBBLE = 2,        // "001": a nibble token
    PREFIX_SHORT_MATCH = 3,   // "000": a short match, the end, or an offset-width setting
};
static const uint32_t MAX_PREFIX_ZEROS = 3;

// Gamma codes: after an implied leading 1, each digit bit is followed by a
// continuation bit (1: more digits). Values start at 2.
static const uint32_t GAMMA_PAIR_BITS = 2;

// Gamma match: a gamma value of 2 repeats the last offset; a larger one, less
// GAMMA_OFFSET_BIAS, is the high part of a new offset, whose low part follows
// in the current offset width. Then the length, in gamma.
static const uint32_t GAMMA_REPEAT_OFFSET = 2;
static const uint32_t GAMMA_OFFSET_BIAS = 3;
static const uint32_t MIN_GAMMA_LENGTH = 2;
static const uint32_t START_OFFSET_WIDTH = 8;
static const uint32_t MAX_OFFSET_WIDTH = 31;

// Added to the length of a match with a new offset: short copies from far
// back never pay, so the farther the offset, the longer its shortest copy.
static inline uint32_t MatchLengthAdjustment(uint32_t offset) {
    if (offset >= 0x10000) return 3;
    if (offset >= 0x37FF) return 2;
    if (offset >= 0x27F) return 1;
    if (offset > 0x7F) return 0;
    return 4;
}

// Nibble token: 4 bits. 0 escapes, 1 is a zero byte, 2 to 15 copy one byte
// from 1 to 14 back (the value less 1).
static const uint32_t NIBBLE_BITS = 4;
static const uint32_t NIBBLE_ESCAPE = 0;
static const uint32_t NIBBLE_ZERO_BYTE = 1;
static const uint32_t NEAR_BYTE_MAX_OFFSET = 14;

// After the escape one bit: 1 starts raw runs, each RAW_RUN_BYTES plain bytes
// followed by a continuation bit; 0 is a literal setting, one bit: 1 for 8-bit
// literals, 0 for 7-bit ones added to a base that follows in 8 bits.
static const uint32_t RAW_RUN_BYTES = 256;
static const uint32_t RAW_BYTE_BITS = 8;
static const uint32_t WIDE_LITERAL_BITS = 8;
static const uint32_t NARROW_LITERAL_BITS = 7;
static const uint32_t LITERAL_BASE_BITS = 8;

// Short match: a 7-bit offset and a 2-bit length field (the length less 2).
// Offset 0 is no copy: with length field 0 it ends the stream; otherwise a new
// offset width follows in a field of (length field + 3) bits.
static const uint32_t SHORT_OFFSET_BITS = 7;
static const uint32_t SHORT_LENGTH_BITS = 2;
static const uint32_t SHORT_MATCH_MIN_LENGTH = 2;
static const uint32_t SHORT_MATCH_MAX_LENGTH = SHORT_MATCH_MIN_LENGTH + (1u << SHORT_LENGTH_BITS) - 1;
static const uint32_t SHORT_MATCH_MAX_OFFSET = (1u << SHORT_OFFSET_BITS) - 1;
static const uint32_t OFFSET_WIDTH_FIELD_BASE = 3;
