// Writes a compressed block: the 10-byte header, then the bit stream packed
// from bit 31 down into little-endian 32-bit words.
#pragma once

#include <cstdint>
#include <vector>

struct BitWriter {
    std::vector<uint8_t> bytes;   // header and the words finished so far
    uint32_t pendingWord = 0;     // bits of the word being filled, from bit 31 down
    uint32_t pendingCount = 0;
};

// Reserves the block header; the stream follows it.
void StartBlock(BitWriter& writer);

// The low count bits of value (count 0 to 32), most significant first.
void WriteBits(BitWriter& writer, uint32_t value, uint32_t count);

// Gamma code of value (at least 2): the digits after the leading 1, each
// followed by a continuation bit.
void WriteGamma(BitWriter& writer, uint32_t value);

// Appends the bits of from, a writer of part of a stream (never started, so
// without a header), as if they had been written to writer.
void AppendBits(BitWriter& writer, const BitWriter& from);

// Pads the last word with zero bits and fills in the header for the decoded data.
std::vector<uint8_t> FinishBlock(BitWriter& writer, const uint8_t* data, uint32_t size);
