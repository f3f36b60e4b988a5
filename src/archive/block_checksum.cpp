#include "archive/block_decoder.h"

uint32_t BlockChecksum(const uint8_t* data, uint32_t size)
{
    uint32_t sum = 0;
    if (size < 4)
        return 0;
    uint32_t offset = 0;
    for (;;) {
        // Byte by byte: words start at any alignment.
        uint32_t word = data[offset] | (data[offset + 1] << 8) | (data[offset + 2] << 16) |
                        ((uint32_t)data[offset + 3] << 24);
        sum += word;
        sum ^= ((word << 1) | (word >> 31)) + 1;
        if (offset == size - 4)
            return sum;
        offset += 4;
        // A tail of 1 to 3 bytes is taken as the word that ends at the last byte.
        if (offset > size - 4)
            offset = size - 4;
    }
}
