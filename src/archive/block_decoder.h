// Decoding a compressed block (format/block_format.h) and its checksum.
// Compiled into the stub: C-style, no standard library beyond <stdint.h>.
#ifndef SFX_ARCHIVE_BLOCK_DECODER_H
#define SFX_ARCHIVE_BLOCK_DECODER_H

#include <stdint.h>

#include "format/block_format.h"

// Decodes the block into destination and returns the number of bytes written.
// Returns 0 for a null pointer, a wrong magic, a checksum mismatch, a decoded
// size above capacity, and any corrupt stream: a read past blockLength, a write
// past the decoded size, a copy from before the start or from offset 0, an
// offset width of 0 or 32 and more, a gamma value or offset beyond 32 bits, and
// a literal before the first literal setting.
uint32_t DecodeBlock(const uint8_t* block, uint32_t blockLength, uint8_t* destination, uint32_t capacity);

// The block's decoded-size field; 0 for a null or short block or a wrong magic.
uint32_t DecodedBlockSize(const uint8_t* block, uint32_t blockLength);

// Sum/xor/rotate checksum over the little-endian words of data; a tail of 1 to 3
// bytes is covered by one more word ending at the last byte. 0 below 4 bytes.
uint32_t BlockChecksum(const uint8_t* data, uint32_t size);

#endif
