#include "archive/block_decoder.h"
#include "format/little_endian.h"

#ifdef __OPTIMIZE_SIZE__
// The stub's: its mixing written out, which -Os compiles 4 bytes smaller than
// the builder's MixWord.
uint32_t BlockChecksum(const uint8_t* data, uint32_t size) {
    uint32_t sum = 0;
    if (size < 4) return 0;
    uint32_t offset = 0;
    for (;;) {
        // Byte by byte: words start at any alignment.
        uint32_t word = ReadLittleEndian32(data + offset);
        sum += word;
        sum ^= ((word << 1) | (word >> 31)) + 1;
        if (offset == size - 4) return sum;
        offset += 4;
        // A tail of 1 to 3 bytes is taken as the word that ends at the last byte.
        if (offset > size - 4) offset = size - 4;
    }
}
#else
static inline uint32_t MixWord(uint32_t sum, uint32_t word) {
    sum += word;
    return sum ^ (((word << 1) | (word >> 31)) + 1);
}

// The builder's: one load per word and no tail test in the loop, which the
// stub's smaller loop costs the decoder and the encoder a fifth of their time.
uint32_t BlockChecksum(const uint8_t* data, uint32_t size) {
    if (size < 4) return 0;
    uint32_t sum = 0;
    uint32_t offset = 0;
    for (; offset <= size - 4; offset += 4) sum = MixWord(sum, ReadLittleEndian32(data + offset));
    // A tail of 1 to 3 bytes is taken as the word that ends at the last byte.
    if (offset != size) sum = MixWord(sum, ReadLittleEndian32(data + size - 4));
    return sum;
}
#endif
