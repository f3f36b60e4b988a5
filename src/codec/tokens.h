// The block's tokens as bits, and what each costs. Both the fast and the best
// encoder choose tokens by these costs and write them with these emitters.
#pragma once

#include <cstdint>

#include "codec/bit_writer.h"
#include "format/block_format.h"

// A prefix of this many zeros, then the 1 that ends it (none after three).
constexpr uint32_t PrefixBits(TokenPrefix prefix) {
    return prefix == PREFIX_SHORT_MATCH ? MAX_PREFIX_ZEROS : uint32_t(prefix) + 1;
}

constexpr uint32_t LITERAL_PREFIX_BITS = PrefixBits(PREFIX_LITERAL);
constexpr uint32_t GAMMA_MATCH_PREFIX_BITS = PrefixBits(PREFIX_GAMMA_MATCH);
constexpr uint32_t NIBBLE_TOKEN_BITS = PrefixBits(PREFIX_NIBBLE) + NIBBLE_BITS;
constexpr uint32_t ESCAPE_BITS = NIBBLE_TOKEN_BITS + 1;   // nibble 0 and the choice bit
constexpr uint32_t SHORT_MATCH_BITS = PrefixBits(PREFIX_SHORT_MATCH) + SHORT_OFFSET_BITS + SHORT_LENGTH_BITS;
constexpr uint32_t END_TOKEN_BITS = SHORT_MATCH_BITS;   // a short match of offset 0 and length field 0

// The size of the field that an offset-width setting writes the width in.
inline uint32_t OffsetWidthFieldBits(uint32_t offsetWidth) { return offsetWidth < 16 ? 4 : 5; }

// Bits of the gamma code of value (at least 2).
inline uint32_t GammaBits(uint32_t value) { return 2 * uint32_t(31 - __builtin_clz(value)); }

// Shortest length a match with a new offset can carry.
inline uint32_t MinMatchLength(uint32_t offset) { return MIN_GAMMA_LENGTH + MatchLengthAdjustment(offset); }

// Bits of the offset part of a match with a new offset (its gamma high part and
// low field), which the length part does not change.
inline uint32_t OffsetBits(uint32_t offset, uint32_t offsetWidth) {
    return GammaBits((offset >> offsetWidth) + GAMMA_OFFSET_BIAS) + offsetWidth;
}

// A new-offset match; length at least MinMatchLength(offset).
inline uint32_t MatchBits(uint32_t offset, uint32_t length, uint32_t offsetWidth) {
    return GAMMA_MATCH_PREFIX_BITS + OffsetBits(offset, offsetWidth) +
           GammaBits(length - MatchLengthAdjustment(offset));
}

// Bits of a match at the last offset but its length's gamma code.
inline uint32_t RepeatOffsetBits() { return GAMMA_MATCH_PREFIX_BITS + GammaBits(GAMMA_REPEAT_OFFSET); }

// A match at the last offset; length at least 2.
inline uint32_t RepeatBits(uint32_t length) { return RepeatOffsetBits() + GammaBits(length); }

// A literal setting: the width bit, and a base for 7-bit literals.
inline uint32_t LiteralSettingBits(uint32_t literalWidth) {
    return ESCAPE_BITS + 1 + (literalWidth == NARROW_LITERAL_BITS ? LITERAL_BASE_BITS : 0);
}

// An offset-width setting: short-match offset 0 with a length field naming
// the width field's size.
inline uint32_t OffsetWidthSettingBits(uint32_t offsetWidth) {
    return SHORT_MATCH_BITS + OffsetWidthFieldBits(offsetWidth);
}

void EmitLiteral(BitWriter& writer, uint8_t byte, uint32_t literalWidth, uint8_t literalBase);
void EmitZeroByte(BitWriter& writer);
void EmitNearByte(BitWriter& writer, uint32_t offset);   // one byte from 1 to 14 back
void EmitRawRuns(BitWriter& writer, const uint8_t* bytes, uint32_t runs);
void EmitLiteralSetting(BitWriter& writer, uint32_t literalWidth, uint8_t literalBase);
void EmitShortMatch(BitWriter& writer, uint32_t offset, uint32_t length);
void EmitRepeatMatch(BitWriter& writer, uint32_t length);
void EmitMatch(BitWriter& writer, uint32_t offset, uint32_t length, uint32_t offsetWidth);
void EmitOffsetWidth(BitWriter& writer, uint32_t offsetWidth);
void EmitEnd(BitWriter& writer);
