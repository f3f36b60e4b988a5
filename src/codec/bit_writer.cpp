#include "codec/bit_writer.h"

#include <cstddef>

#include "archive/block_decoder.h"
#include "format/little_endian.h"

void StartBlock(BitWriter& writer) {
    writer.bytes.assign(BLOCK_HEADER_SIZE, 0);
    writer.bytes[0] = BLOCK_MAGIC_FIRST;
    writer.bytes[1] = BLOCK_MAGIC_SECOND;
    writer.pendingWord = 0;
    writer.pendingCount = 0;
}

static void AppendWord(BitWriter& writer, uint32_t word) {
    size_t end = writer.bytes.size();
    writer.bytes.resize(end + 4);
    WriteLittleEndian32(&writer.bytes[end], word);
}

void WriteBits(BitWriter& writer, uint32_t value, uint32_t count) {
    if (count == 0) return;
    value &= 0xFFFFFFFFu >> (32 - count);
    uint32_t room = 32 - writer.pendingCount;
    if (count < room) {
        writer.pendingWord |= value << (room - count);
        writer.pendingCount += count;
        return;
    }
    // The value fills the word; the bits that do not fit start the next one.
    uint32_t over = count - room;
    AppendWord(writer, writer.pendingWord | uint32_t(uint64_t(value) >> over));
    writer.pendingWord = over ? value << (32 - over) : 0;
    writer.pendingCount = over;
}

void WriteGamma(BitWriter& writer, uint32_t value) {
    // Each digit below the leading 1 becomes the pair (digit, 1), the last (digit, 0).
    int top = 31 - __builtin_clz(value);
    uint64_t pairs = 0;
    for (int digit = top - 1; digit >= 0; --digit) pairs = pairs << 2 | ((value >> digit) & 1) << 1 | (digit > 0);
    uint32_t bits = 2 * uint32_t(top);
    if (bits > 32) WriteBits(writer, uint32_t(pairs >> 32), bits - 32);
    WriteBits(writer, uint32_t(pairs), bits < 32 ? bits : 32);
}

void AppendBits(BitWriter& writer, const BitWriter& from) {
    if (writer.pendingCount == 0) {
        writer.bytes.insert(writer.bytes.end(), from.bytes.begin(), from.bytes.end());
    } else {
        writer.bytes.reserve(writer.bytes.size() + from.bytes.size() + 4);
        for (size_t at = 0; at < from.bytes.size(); at += 4) WriteBits(writer, ReadLittleEndian32(&from.bytes[at]), 32);
    }
    if (from.pendingCount > 0) WriteBits(writer, from.pendingWord >> (32 - from.pendingCount), from.pendingCount);
}

std::vector<uint8_t> FinishBlock(BitWriter& writer, const uint8_t* data, uint32_t size) {
    if (writer.pendingCount > 0) WriteBits(writer, 0, 32 - writer.pendingCount);
    WriteLittleEndian32(&writer.bytes[BLOCK_SIZE_FIELD], size);
    WriteLittleEndian32(&writer.bytes[BLOCK_CHECKSUM_FIELD], BlockChecksum(data, size));
    return std::move(writer.bytes);
}
