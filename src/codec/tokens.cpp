#include "codec/tokens.h"

#include <cassert>

static void WritePrefix(BitWriter& writer, TokenPrefix prefix) {
    WriteBits(writer, prefix == PREFIX_SHORT_MATCH ? 0 : 1, PrefixBits(prefix));
}

void EmitLiteral(BitWriter& writer, uint8_t byte, uint32_t literalWidth, uint8_t literalBase) {
    uint32_t field = uint8_t(byte - literalBase);
    assert(field < (1u << literalWidth));
    WritePrefix(writer, PREFIX_LITERAL);
    WriteBits(writer, field, literalWidth);
}

void EmitZeroByte(BitWriter& writer) {
    WritePrefix(writer, PREFIX_NIBBLE);
    WriteBits(writer, NIBBLE_ZERO_BYTE, NIBBLE_BITS);
}

void EmitNearByte(BitWriter& writer, uint32_t offset) {
    assert(offset >= 1 && offset <= NEAR_BYTE_MAX_OFFSET);
    WritePrefix(writer, PREFIX_NIBBLE);
    WriteBits(writer, offset + 1, NIBBLE_BITS);
}

void EmitRawRuns(BitWriter& writer, const uint8_t* bytes, uint32_t runs) {
    assert(runs > 0);
    WritePrefix(writer, PREFIX_NIBBLE);
    WriteBits(writer, NIBBLE_ESCAPE, NIBBLE_BITS);
    WriteBits(writer, 1, 1);
    for (uint32_t run = 0; run < runs; ++run) {
        for (uint32_t index = 0; index < RAW_RUN_BYTES; ++index)
            WriteBits(writer, bytes[run * RAW_RUN_BYTES + index], RAW_BYTE_BITS);
        WriteBits(writer, run + 1 < runs ? 1 : 0, 1);
    }
}

void EmitLiteralSetting(BitWriter& writer, uint32_t literalWidth, uint8_t literalBase) {
    WritePrefix(writer, PREFIX_NIBBLE);
    WriteBits(writer, NIBBLE_ESCAPE, NIBBLE_BITS);
    WriteBits(writer, 0, 1);
    WriteBits(writer, literalWidth == WIDE_LITERAL_BITS ? 1 : 0, 1);
    if (literalWidth == NARROW_LITERAL_BITS) WriteBits(writer, literalBase, LITERAL_BASE_BITS);
}

void EmitShortMatch(BitWriter& writer, uint32_t offset, uint32_t length) {
    assert(offset >= 1 && offset <= SHORT_MATCH_MAX_OFFSET);
    assert(length >= SHORT_MATCH_MIN_LENGTH && length <= SHORT_MATCH_MAX_LENGTH);
    WritePrefix(writer, PREFIX_SHORT_MATCH);
    WriteBits(writer, offset, SHORT_OFFSET_BITS);
    WriteBits(writer, length - SHORT_MATCH_MIN_LENGTH, SHORT_LENGTH_BITS);
}

void EmitRepeatMatch(BitWriter& writer, uint32_t length) {
    assert(length >= MIN_GAMMA_LENGTH);
    WritePrefix(writer, PREFIX_GAMMA_MATCH);
    WriteGamma(writer, GAMMA_REPEAT_OFFSET);
    WriteGamma(writer, length);
}

void EmitMatch(BitWriter& writer, uint32_t offset, uint32_t length, uint32_t offsetWidth) {
    assert(offset >= 1 && length >= MinMatchLength(offset));
    WritePrefix(writer, PREFIX_GAMMA_MATCH);
    WriteGamma(writer, (offset >> offsetWidth) + GAMMA_OFFSET_BIAS);
    WriteBits(writer, offset & ((1u << offsetWidth) - 1), offsetWidth);
    WriteGamma(writer, length - MatchLengthAdjustment(offset));
}

void EmitOffsetWidth(BitWriter& writer, uint32_t offsetWidth) {
    assert(offsetWidth >= 1 && offsetWidth <= MAX_OFFSET_WIDTH);
    uint32_t fieldBits = OffsetWidthFieldBits(offsetWidth);
    WritePrefix(writer, PREFIX_SHORT_MATCH);
    WriteBits(writer, 0, SHORT_OFFSET_BITS);
    WriteBits(writer, fieldBits - OFFSET_WIDTH_FIELD_BASE, SHORT_LENGTH_BITS);
    WriteBits(writer, offsetWidth, fieldBits);
}

void EmitEnd(BitWriter& writer) { WriteBits(writer, 0, END_TOKEN_BITS); }
