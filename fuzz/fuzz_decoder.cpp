// libFuzzer target: any bytes as a block. The decoder must return 0 or a count
// within the destination, and never touch memory outside the block or the
// destination (both allocated to their exact sizes so the sanitizers see it).
// Built twice: as the builder builds the decoder, and for size as the stub
// does (-Oz: the bit-at-a-time reader).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/block_decoder.h"

#if defined(SFX_FUZZ_SIZE_BUILD) && !defined(__OPTIMIZE_SIZE__)
#error "the stub's build of the decoder is for size: compile with -Oz"
#endif

namespace {
constexpr uint32_t MAX_FUZZ_CAPACITY = 1u << 22;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> block(data, data + size);
    uint32_t decodedSize = DecodedBlockSize(block.data(), uint32_t(size));
    // The destination as the loader sizes it, and one byte short of that.
    uint32_t exact = decodedSize < MAX_FUZZ_CAPACITY ? decodedSize : MAX_FUZZ_CAPACITY;
    for (uint32_t capacity : {exact, exact ? exact - 1 : 0}) {
        std::vector<uint8_t> destination(capacity ? capacity : 1);
        uint32_t result = DecodeBlock(block.data(), uint32_t(size), destination.data(), capacity);
        if (result > capacity || result > decodedSize) abort();
    }
    return 0;
}
