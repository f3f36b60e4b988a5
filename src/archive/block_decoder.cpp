#include "archive/block_decoder.h"

#include <string.h>

#include "format/little_endian.h"

// The stream side of the decoder. bits holds the unread bits of the current
// word followed by a marker 1: when a shift leaves it 0, the word is used up.
#ifdef __OPTIMIZE_SIZE__
struct BitReader {
    const uint8_t* block;
    uint32_t blockLength;
    uint32_t position;   // next word to fetch; beyond blockLength after an overrun
    uint32_t bits;
};
#else
// The host keeps the unread bits at the top of a 64-bit register with their
// count beside them: a field that runs into the next word is then one shift,
// and no bit scan stands between one field and the next. Words are fetched at
// the same moments as in the size build, so position means the same.
struct BitReader {
    const uint8_t* block;
    uint32_t blockLength;
    uint32_t position;
    uint64_t bits;   // below the unread bits, zeros
    uint32_t left;   // unread bits, at most 62
};
#endif

// The next stream word. Past the end of the block it is 0 and the position still
// advances: zeros end any stream within a few tokens, and the overrun is caught
// once after the loop instead of at every fetch.
static uint32_t FetchWord(BitReader* reader) {
    uint32_t word = 0;
    if (reader->position <= reader->blockLength - 4) word = ReadLittleEndian32(reader->block + reader->position);
    reader->position += 4;
    return word;
}

// Every field goes through ReadField, so the bit fetch is expanded in one
// place, with no call per bit. The host build inlines the readers into the
// token loop and takes bits a word at a time; the stub, built for size, keeps
// one plain copy of each.
#ifdef __OPTIMIZE_SIZE__
#define FIELD_READER static __attribute__((noinline))
#else
#define FIELD_READER static inline __attribute__((always_inline))
#endif

// A field of 1 to 31 bits, most significant bit first.
FIELD_READER uint32_t ReadField(BitReader* reader, uint32_t width) {
#ifdef __OPTIMIZE_SIZE__
    uint32_t value = 0;
    do {
        uint32_t bit = reader->bits >> 31;
        reader->bits <<= 1;
        if (reader->bits == 0) {   // only the marker was left: the bit is the next word's first
            uint32_t word = FetchWord(reader);
            bit = word >> 31;
            reader->bits = (word << 1) | 1;
        }
        value = value * 2 + bit;
    } while (--width);
    return value;
#else
    // The next word goes right behind the unread bits (width is at most 31,
    // so at most 30 are left and the shift is at least 2).
    if (reader->left < width) {
        reader->bits |= (uint64_t)FetchWord(reader) << (32 - reader->left);
        reader->left += 32;
    }
    uint32_t value = (uint32_t)(reader->bits >> (64 - width));
    reader->bits <<= width;
    reader->left -= width;
    return value;
#endif
}

// Digit bits each followed by a continuation bit, after an implied leading 1.
// Returns 0, which no gamma value is, when the value outgrows 32 bits.
FIELD_READER uint32_t ReadGamma(BitReader* reader) {
    uint32_t value = 1;
    uint32_t pair;
    do {
        if (value & 0x80000000u) return 0;
        pair = ReadField(reader, GAMMA_PAIR_BITS);   // digit, then continuation
        value = value * 2 + (pair >> 1);
    } while (pair & 1);
    return value;
}

// The token prefix: the number of 0 bits before a 1, at most 3.
FIELD_READER uint32_t ReadPrefix(BitReader* reader) {
    uint32_t zeros = 0;
#ifndef __OPTIMIZE_SIZE__
    if (reader->left >= 3) {
        uint32_t top = (uint32_t)(reader->bits >> 61);
        zeros = top == 0 ? MAX_PREFIX_ZEROS : (uint32_t)__builtin_clz(top) - 29;
        uint32_t used = zeros == MAX_PREFIX_ZEROS ? MAX_PREFIX_ZEROS : zeros + 1;
        reader->bits <<= used;
        reader->left -= used;
        return zeros;
    }
#endif
    while (zeros < MAX_PREFIX_ZEROS && ReadField(reader, 1) == 0) ++zeros;
    return zeros;
}

static int HasBlockHeader(const uint8_t* block, uint32_t blockLength) {
    return block && blockLength >= BLOCK_HEADER_SIZE && block[0] == BLOCK_MAGIC_FIRST && block[1] == BLOCK_MAGIC_SECOND;
}

uint32_t DecodedBlockSize(const uint8_t* block, uint32_t blockLength) {
    return HasBlockHeader(block, blockLength) ? ReadLittleEndian32(block + BLOCK_SIZE_FIELD) : 0;
}

uint32_t DecodeBlock(const uint8_t* block, uint32_t blockLength, uint8_t* destination, uint32_t capacity) {
    if (!destination || !HasBlockHeader(block, blockLength)) return 0;
    uint32_t size = ReadLittleEndian32(block + BLOCK_SIZE_FIELD);
    if (size > capacity) return 0;
    uint32_t checksum = ReadLittleEndian32(block + BLOCK_CHECKSUM_FIELD);

#ifdef __OPTIMIZE_SIZE__
    BitReader reader = {block, blockLength, BLOCK_HEADER_SIZE, 0x80000000u};
#else
    BitReader reader = {block, blockLength, BLOCK_HEADER_SIZE, 0, 0};
#endif
    uint32_t written = 0;
    uint32_t lastOffset = 1;
    uint32_t offsetWidth = START_OFFSET_WIDTH;
    uint32_t literalWidth = 0;   // 0: no literal setting seen yet
    uint32_t literalBase = 0;
    uint32_t bit, value, offset, length;

    for (;;) {
        // Token prefix: 1 literal, 01 gamma match, 001 nibble token, 000 short match.
        uint32_t zeros = ReadPrefix(&reader);

        if (zeros == PREFIX_LITERAL) {
            if (literalWidth == 0 || written == size) goto corrupt;
            value = ReadField(&reader, literalWidth);
            destination[written++] = (uint8_t)(value + literalBase);
            continue;
        }
        if (zeros == PREFIX_GAMMA_MATCH) {
            // Gamma match: 2 repeats the last offset, more brings a new one.
            uint32_t high, adjustment = 0;
            high = ReadGamma(&reader);
            if (high == 0) goto corrupt;
            offset = lastOffset;
            if (high != GAMMA_REPEAT_OFFSET) {
                high -= GAMMA_OFFSET_BIAS;
                if (high > (0xFFFFFFFFu >> offsetWidth)) goto corrupt;
                value = ReadField(&reader, offsetWidth);
                offset = (high << offsetWidth) | value;
                adjustment = MatchLengthAdjustment(offset);
                lastOffset = offset;
            }
            length = ReadGamma(&reader);
            if (length == 0 || length > 0xFFFFFFFFu - adjustment) goto corrupt;
            length += adjustment;
        } else if (zeros == PREFIX_NIBBLE) {
            // Nibble token: a zero byte, a one-byte copy, or an escape.
            value = ReadField(&reader, NIBBLE_BITS);
            if (value == NIBBLE_ZERO_BYTE) {
                if (written == size) goto corrupt;
                destination[written++] = 0;
                continue;
            }
            if (value == NIBBLE_ESCAPE) {
                bit = ReadField(&reader, 1);
                if (bit) {
                    // Raw runs of 256 plain bytes while the continuation bit is 1.
                    do {
                        if (size - written < RAW_RUN_BYTES) goto corrupt;
                        for (uint32_t count = RAW_RUN_BYTES; count != 0; --count) {
                            value = ReadField(&reader, RAW_BYTE_BITS);
                            destination[written++] = (uint8_t)value;
                        }
                        bit = ReadField(&reader, 1);
                    } while (bit);
                } else {
                    // Literal setting: width 8, or width 7 with a base.
                    bit = ReadField(&reader, 1);
                    literalWidth = NARROW_LITERAL_BITS + bit;   // 1: WIDE_LITERAL_BITS
                    literalBase = 0;
                    if (!bit) literalBase = ReadField(&reader, LITERAL_BASE_BITS);
                }
                continue;
            }
            offset = value - 1;
            length = 1;
        } else {
            // Short match; offset 0 makes it the end token or an offset-width setting.
            value = ReadField(&reader, SHORT_OFFSET_BITS + SHORT_LENGTH_BITS);
            offset = value >> SHORT_LENGTH_BITS;
            length = value & ((1u << SHORT_LENGTH_BITS) - 1);
            if (offset == 0) {
                if (length == 0) break;
                value = ReadField(&reader, length + OFFSET_WIDTH_FIELD_BASE);
                if (value == 0 || value > MAX_OFFSET_WIDTH) goto corrupt;
                offsetWidth = value;
                continue;
            }
            length += SHORT_MATCH_MIN_LENGTH;
            lastOffset = offset;
        }
        // Copy front to back, one byte at a time: an offset below the length
        // repeats the last offset bytes. offset - 1 wraps for offset 0.
        if (offset - 1 >= written || length > size - written) goto corrupt;
        {
            uint8_t* to = destination + written;
            const uint8_t* from = to - offset;
            written += length;
#ifndef __OPTIMIZE_SIZE__
            // Eight bytes at a time when the source stays 8 behind and the
            // rounded-up copy still ends within the decoded size; the bytes it
            // writes beyond the length are written again by the next tokens.
            if (offset >= 8 && size - written >= 8) {
                for (uint32_t copied = 0; copied < length; copied += 8) memcpy(to + copied, from + copied, 8);
                continue;
            }
#endif
            do {
                *to++ = *from++;
            } while (--length != 0);
        }
    }

    if (reader.position > blockLength) return 0;
    if (checksum != 0 && BlockChecksum(destination, size) != checksum) return 0;
    return written;

corrupt:
    return 0;
}
