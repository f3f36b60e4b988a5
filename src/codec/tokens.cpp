#include "codec/tokens.h"

#include <cassert>

void EmitLiteral(BitWriter& writer, uint8_t byte, uint32_t literalWidth, uint8_t literalBase)
{
    uint32_t field = uint8_t(byte - literalBase);
    assert(field < (1u << literalWidth));
    WriteBits(writer, 1, LITERAL_PREFIX_BITS);
    WriteBits(writer, field, literalWidth);
}

void EmitZeroByte(BitWriter& writer)
{
    WriteBits(writer, 0x1, 3);
    WriteBits(writer, NIBBLE_ZERO_BYTE, 4);
}

void EmitNearByte(BitWriter& writer, uint32_t offset)
{
    assert(offset >= 1 && offset <= NEAR_BYTE_MAX_OFFSET);
    WriteBits(writer, 0x1, 3);
    WriteBits(writer, offset + 1, 4);
}

void EmitRawRuns(BitWriter& writer, const uint8_t* bytes, uint32_t runs)
{
    assert(runs > 0);
    WriteBits(writer, 0x1, 3);
    WriteBits(writer, 0, 4);
    WriteBits(writer, 1, 1);
    for (uint32_t run = 0; run < runs; ++run) {
        for (uint32_t index = 0; index < RAW_RUN_BYTES; ++index)
            WriteBits(writer, bytes[run * RAW_RUN_BYTES + index], 8);
        WriteBits(writer, run + 1 < runs ? 1 : 0, 1);
    }
}

void EmitLiteralSetting(BitWriter& writer, uint32_t literalWidth, uint8_t literalBase)
{
    WriteBits(writer, 0x1, 3);
    WriteBits(writer, 0, 4);
    WriteBits(writer, 0, 1);
    WriteBits(writer, literalWidth == WIDE_LITERAL_BITS ? 1 : 0, 1);
    if (literalWidth == NARROW_LITERAL_BITS)
        WriteBits(writer, literalBase, 8);
}

void EmitShortMatch(BitWriter& writer, uint32_t offset, uint32_t length)
{
    assert(offset >= 1 && offset <= SHORT_MATCH_MAX_OFFSET);
    assert(length >= SHORT_MATCH_MIN_LENGTH && length <= SHORT_MATCH_MAX_LENGTH);
    WriteBits(writer, 0, 3);
    WriteBits(writer, offset, 7);
    WriteBits(writer, length - SHORT_MATCH_MIN_LENGTH, 2);
}

void EmitRepeatMatch(BitWriter& writer, uint32_t length)
{
    assert(length >= MIN_GAMMA_LENGTH);
    WriteBits(writer, 0x1, 2);
    WriteGamma(writer, 2);
    WriteGamma(writer, length);
}

void EmitMatch(BitWriter& writer, uint32_t offset, uint32_t length, uint32_t offsetWidth)
{
    assert(offset >= 1 && length >= MinMatchLength(offset));
    WriteBits(writer, 0x1, 2);
    WriteGamma(writer, (offset >> offsetWidth) + 3);
    WriteBits(writer, offset & ((1u << offsetWidth) - 1), offsetWidth);
    WriteGamma(writer, length - MatchLengthAdjustment(offset));
}

void EmitOffsetWidth(BitWriter& writer, uint32_t offsetWidth)
{
    assert(offsetWidth >= 1 && offsetWidth <= MAX_OFFSET_WIDTH);
    uint32_t fieldBits = offsetWidth < 16 ? 4 : 5;
    WriteBits(writer, 0, 3 + 7);
    WriteBits(writer, fieldBits - 3, 2);
    WriteBits(writer, offsetWidth, fieldBits);
}

void EmitEnd(BitWriter& writer)
{
    WriteBits(writer, 0, END_TOKEN_BITS);
}
