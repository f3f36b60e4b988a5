// The token stream between a parser and the bit writer. Tokens are gathered a
// segment at a time; when a segment is flushed the offset width that codes its
// matches in the fewest bits is chosen, set if it changed, and the tokens are
// written with it.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/bit_writer.h"

enum TokenKind : uint8_t {
    TOKEN_LITERAL,           // data[position] in the current literal setting
    TOKEN_ZERO_BYTE,         // a 0x00 byte in a nibble token
    TOKEN_NEAR_BYTE,         // one byte from offset 1 to 14
    TOKEN_RAW_RUNS,          // length bytes (a multiple of 256) from position, as they are
    TOKEN_LITERAL_SETTING,   // literal width in length, base in literalBase
    TOKEN_SHORT_MATCH,       // offset 1 to 127, length 2 to 5
    TOKEN_REPEAT_MATCH,      // length at least 2 from the last offset
    TOKEN_MATCH,             // a new offset; length at least MinMatchLength(offset)
};

struct Token {
    TokenKind kind;
    uint8_t literalBase;
    uint32_t position;
    uint32_t offset;
    uint32_t length;
};

struct TokenStream {
    BitWriter writer;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    std::vector<Token> pending;   // the current segment's tokens
    uint32_t offsetWidth = 0;     // as the decoder will have it after the written tokens
    uint32_t literalWidth = 0;
    uint8_t literalBase = 0;
};

// Starts the block with the literal setting for 8-bit literals.
void StartTokenStream(TokenStream& stream, const uint8_t* data, uint32_t size);

// Starts a stream for one section of a block's tokens, joined to the block's
// stream later by AppendSection: no header, the literal setting the block
// starts with, and START_OFFSET_WIDTH.
void StartSectionStream(TokenStream& section, const uint8_t* data, uint32_t size);

// Appends a flushed section stream, first setting the offset width it starts
// with when the stream's differs.
void AppendSection(TokenStream& stream, const TokenStream& section);

void AddToken(TokenStream& stream, const Token& token);

// Chooses the segment's offset width and writes its tokens.
void FlushSegment(TokenStream& stream);

// Flushes, ends the stream and returns the finished block.
std::vector<uint8_t> FinishTokenStream(TokenStream& stream);
