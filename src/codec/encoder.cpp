#include "codec/encoder.h"

#include <cassert>

#include "codec/parsers.h"
#include "codec/token_stream.h"

std::vector<uint8_t> EncodeBlock(const uint8_t* data, size_t size, const CompressionLevel& level, uint32_t threads,
                                 EncodeProgressFn progress, void* context) {
    assert(size <= BLOCK_MAX_INPUT);
    assert(data || size == 0);
    assert(level.parse);
    ProgressReport report{progress, context, size};
    TokenStream stream;
    StartTokenStream(stream, data, uint32_t(size));
    level.parse(stream, threads > 0 ? threads : 1, report);
    std::vector<uint8_t> block = FinishTokenStream(stream);
    ReportProgress(report, size);
    return block;
}
