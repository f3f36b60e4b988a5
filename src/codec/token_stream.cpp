#include "codec/token_stream.h"

#include <cassert>
#include <cstddef>

#include "codec/tokens.h"

void StartSectionStream(TokenStream& section, const uint8_t* data, uint32_t size) {
    section.writer = BitWriter();
    section.data = data;
    section.size = size;
    section.pending.clear();
    section.offsetWidth = START_OFFSET_WIDTH;
    section.literalWidth = WIDE_LITERAL_BITS;
    section.literalBase = 0;
}

void StartTokenStream(TokenStream& stream, const uint8_t* data, uint32_t size) {
    StartSectionStream(stream, data, size);
    // Room for a block somewhat larger than the input, taken once: a vector
    // that doubles as it grows holds the old bytes and twice as many new ones
    // at once. Pages only count once they are written.
    stream.writer.bytes.reserve(std::size_t(size) + size / 8 + 64);
    StartBlock(stream.writer);
    EmitLiteralSetting(stream.writer, WIDE_LITERAL_BITS, 0);
}

void AppendSection(TokenStream& stream, const TokenStream& section) {
    assert(stream.pending.empty() && section.pending.empty());
    assert(stream.literalWidth == WIDE_LITERAL_BITS && section.literalWidth == WIDE_LITERAL_BITS);
    if (stream.offsetWidth != START_OFFSET_WIDTH) EmitOffsetWidth(stream.writer, START_OFFSET_WIDTH);
    AppendBits(stream.writer, section.writer);
    stream.offsetWidth = section.offsetWidth;
}

void AddToken(TokenStream& stream, const Token& token) { stream.pending.push_back(token); }

// The width with the fewest bits for the segment's new offsets, counting the
// setting that a change costs. Ties keep the current width.
static uint32_t ChooseOffsetWidth(const std::vector<Token>& tokens, uint32_t currentWidth) {
    // The offsets once, rather than every token for every width.
    std::vector<uint32_t> offsets;
    for (const Token& token : tokens)
        if (token.kind == TOKEN_MATCH) offsets.push_back(token.offset);
    uint64_t bestBits = UINT64_MAX;
    uint32_t bestWidth = currentWidth;
    for (uint32_t width = 1; width <= MAX_OFFSET_WIDTH; ++width) {
        uint64_t bits = width == currentWidth ? 0 : OffsetWidthSettingBits(width);
        for (uint32_t offset : offsets) bits += OffsetBits(offset, width);
        if (bits < bestBits || (bits == bestBits && width == currentWidth)) {
            bestBits = bits;
            bestWidth = width;
        }
    }
    return bestWidth;
}

static void EmitToken(TokenStream& stream, const Token& token) {
    BitWriter& writer = stream.writer;
    switch (token.kind) {
    case TOKEN_LITERAL:
        EmitLiteral(writer, stream.data[token.position], stream.literalWidth, stream.literalBase);
        break;
    case TOKEN_ZERO_BYTE:
        EmitZeroByte(writer);
        break;
    case TOKEN_NEAR_BYTE:
        EmitNearByte(writer, token.offset);
        break;
    case TOKEN_RAW_RUNS:
        EmitRawRuns(writer, stream.data + token.position, token.length / RAW_RUN_BYTES);
        break;
    case TOKEN_LITERAL_SETTING:
        stream.literalWidth = token.length;
        stream.literalBase = token.length == NARROW_LITERAL_BITS ? token.literalBase : 0;
        EmitLiteralSetting(writer, stream.literalWidth, stream.literalBase);
        break;
    case TOKEN_SHORT_MATCH:
        EmitShortMatch(writer, token.offset, token.length);
        break;
    case TOKEN_REPEAT_MATCH:
        EmitRepeatMatch(writer, token.length);
        break;
    case TOKEN_MATCH:
        EmitMatch(writer, token.offset, token.length, stream.offsetWidth);
        break;
    }
}

void FlushSegment(TokenStream& stream) {
    uint32_t width = ChooseOffsetWidth(stream.pending, stream.offsetWidth);
    if (width != stream.offsetWidth) {
        EmitOffsetWidth(stream.writer, width);
        stream.offsetWidth = width;
    }
    for (const Token& token : stream.pending) EmitToken(stream, token);
    stream.pending.clear();
}

std::vector<uint8_t> FinishTokenStream(TokenStream& stream) {
    FlushSegment(stream);
    EmitEnd(stream.writer);
    return FinishBlock(stream.writer, stream.data, stream.size);
}
