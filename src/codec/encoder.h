// Compresses a buffer into one solid compressed block (the whole input is the
// window). Deterministic: the same input and level give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/levels.h"
#include "format/block_format.h"

// Called now and then with a growing bytesDone; the last call has bytesDone == bytesTotal.
typedef void (*EncodeProgressFn)(void* context, uint64_t bytesDone, uint64_t bytesTotal);

// size must not exceed BLOCK_MAX_INPUT (asserted); larger inputs are the caller's to split or refuse.
// The level must compress (a parser; asserted): "store" makes no block at all.
// threads (at least 1) bounds the threads it runs on; the bytes do not depend on it.
std::vector<uint8_t> EncodeBlock(const uint8_t* data, size_t size, const CompressionLevel& level, uint32_t threads = 1,
                                 EncodeProgressFn progress = nullptr, void* context = nullptr);
