#include "pack/pe/pe_checksum.h"

#include "format/little_endian.h"
#include "pack/pe/pe_image.h"

// The words' sum, unfolded: 2 GiB of words stay far below 2^64.
static uint64_t WordSum(const uint8_t* data, size_t size) {
    uint64_t sum = 0;
    for (size_t at = 0; at + 1 < size; at += 2) sum += ReadLittleEndian16(data + at);
    return sum;
}

void SetPeChecksum(std::vector<uint8_t>* stub, const std::vector<const std::vector<uint8_t>*>& parts) {
    size_t field = ReadPeImage(*stub).checksumOffset;
    if (field == 0) return;
    WriteLittleEndian32(&(*stub)[field], 0);
    uint64_t sum = 0, length = 0;
    uint8_t pending = 0;   // the low byte of a word that a part's odd end split
    bool odd = false;
    std::vector<const std::vector<uint8_t>*> all = {stub};
    all.insert(all.end(), parts.begin(), parts.end());
    for (const std::vector<uint8_t>* part : all) {
        const uint8_t* data = part->data();
        size_t size = part->size();
        length += size;
        if (odd && size > 0) {
            sum += (uint32_t)pending | (uint32_t)data[0] << 8;
            ++data;
            --size;
            odd = false;
        }
        sum += WordSum(data, size);
        if (size % 2) {
            pending = data[size - 1];
            odd = true;
        }
    }
    if (odd) sum += pending;
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    WriteLittleEndian32(&(*stub)[field], (uint32_t)(sum + length));
}
