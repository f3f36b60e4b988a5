#include "codec/encoder.h"

#include <cassert>

#include "codec/match_length.h"
#include "codec/parsers.h"
#include "codec/token_stream.h"

std::vector<uint8_t> EncodeBlock(const uint8_t* data, size_t size, EncodeLevel level, EncodeProgressFn progress,
                                 void* context)
{
    assert(size <= MAX_BLOCK_INPUT);
    assert(data || size == 0);
    ProgressReport report{progress, context, size};
    TokenStream stream;
    StartTokenStream(stream, data, uint32_t(size));
    if (level == ENCODE_BEST)
        ParseBest(stream, report);
    else
        ParseFast(stream, report);
    std::vector<uint8_t> block = FinishTokenStream(stream);
    ReportProgress(report, size);
    return block;
}
