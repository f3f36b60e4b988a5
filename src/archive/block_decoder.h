// Compressed block: a 10-byte header ("JC", decoded size, block checksum) and a
// bit stream of literal and copy tokens in little-endian 32-bit words.
// Compiled into the stub: C-style, no standard library beyond <stdint.h>.
#ifndef SFX_ARCHIVE_BLOCK_DECODER_H
#define SFX_ARCHIVE_BLOCK_DECODER_H

#include <stdint.h>

#define BLOCK_MAGIC_FIRST 0x4A   // 'J'
#define BLOCK_MAGIC_SECOND 0x43  // 'C'
#define BLOCK_HEADER_SIZE 10
#define BLOCK_SIZE_FIELD 2
#define BLOCK_CHECKSUM_FIELD 6

// Added to the length of a match with a new offset: short copies from far
// back never pay, so the farther the offset, the longer its shortest copy.
static inline uint32_t MatchLengthAdjustment(uint32_t offset)
{
    if (offset >= 0x10000)
        return 3;
    if (offset >= 0x37FF)
        return 2;
    if (offset >= 0x27F)
        return 1;
    if (offset > 0x7F)
        return 0;
    return 4;
}

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
