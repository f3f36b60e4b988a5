#include "archive/block_decoder.h"
#include "format/little_endian.h"

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
