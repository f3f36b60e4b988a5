// The checksum in a PE image's optional header, made right for the whole
// installer: the stub's own checksum covers only the stub. Windows checks it
// only for drivers and system files, but inspection tools report a wrong one.
// The sum is the 16-bit one's-complement sum of the file's little-endian
// words (an odd last byte is a word of its own), with the checksum field
// taken as zero, plus the file's length. A signed installer needs nothing
// more: osslsigncode sets the checksum of the file it writes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Sets the stub's checksum field to the checksum of the file made of the
// stub and then the parts; a stub whose optional header does not reach the
// field within it is left as it is.
void SetPeChecksum(std::vector<uint8_t>* stub, const std::vector<const std::vector<uint8_t>*>& parts);
