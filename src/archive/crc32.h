// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320), used to verify the
// whole decoded entry stream. Compiled into the stub.
#ifndef SFX_ARCHIVE_CRC32_H
#define SFX_ARCHIVE_CRC32_H

#include <stdint.h>

// Continues a CRC: the update of B seeded with the CRC of A is the CRC of A then B.
uint32_t UpdateCrc32(const uint8_t* data, uint32_t length, uint32_t seed);

// The CRC-32 of one whole buffer (seed 0).
uint32_t Crc32Fingerprint(const uint8_t* data, uint32_t length);

#endif
