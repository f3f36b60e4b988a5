#include "pack/pe_checksum.h"

#include "format/little_endian.h"

static const uint32_t PE_HEADER_POINTER = 0x3C;   // in the MZ header
static const uint32_t CHECKSUM_FIELD = 0x58;      // from the PE header: the optional header's CheckSum

size_t PeChecksumOffset(const std::vector<uint8_t>& stub) {
    if (stub.size() < PE_HEADER_POINTER + 4) return 0;
    uint32_t pe = ReadLittleEndian32(&stub[PE_HEADER_POINTER]);
    if (pe == 0 || (uint64_t)pe + CHECKSUM_FIELD + 4 > stub.size()) return 0;
    return pe + CHECKSUM_FIELD;
}

// The words' sum, unfolded: 2 GiB of words stay far below 2^64.
static uint64_t WordSum(const uint8_t* data, size_t size) {
    uint64_t sum = 0;
    for (size_t at = 0; at + 1 < size; at += 2) sum += (uint32_t)data[at] | (uint32_t)data[at + 1] << 8;
    return sum;
}

void SetPeChecksum(std::vector<uint8_t>* stub, const std::vector<const std::vector<uint8_t>*>& parts) {
    size_t field = PeChecksumOffset(*stub);
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
