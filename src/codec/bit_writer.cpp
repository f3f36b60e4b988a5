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

void WriteBits(BitWriter& writer, uint32_t value, uint32_t count) {
    while (count > 0) {
        uint32_t room = 32 - writer.pendingCount;
        uint32_t take = count < room ? count : room;
        uint32_t chunk = uint32_t((uint64_t(value) >> (count - take)) & ((uint64_t(1) << take) - 1));
        writer.pendingWord |= uint32_t(uint64_t(chunk) << (room - take));
        writer.pendingCount += take;
        count -= take;
        if (writer.pendingCount == 32) {
            AppendLittleEndian32(&writer.bytes, writer.pendingWord);
            writer.pendingWord = 0;
            writer.pendingCount = 0;
        }
    }
}

void WriteGamma(BitWriter& writer, uint32_t value) {
    int top = 31 - __builtin_clz(value);
    for (int digit = top - 1; digit >= 0; --digit) {
        WriteBits(writer, (value >> digit) & 1, 1);
        WriteBits(writer, digit > 0 ? 1 : 0, 1);
    }
}

std::vector<uint8_t> FinishBlock(BitWriter& writer, const uint8_t* data, uint32_t size) {
    if (writer.pendingCount > 0) WriteBits(writer, 0, 32 - writer.pendingCount);
    WriteLittleEndian32(&writer.bytes[BLOCK_SIZE_FIELD], size);
    WriteLittleEndian32(&writer.bytes[BLOCK_CHECKSUM_FIELD], BlockChecksum(data, size));
    return std::move(writer.bytes);
}
