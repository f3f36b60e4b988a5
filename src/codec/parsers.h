// The parsers, one per compression level that compresses (codec/levels.h):
// each covers the stream's whole input with tokens and flushes a segment at a
// time.
#pragma once

#include "codec/encoder.h"
#include "codec/match_length.h"
#include "codec/token_stream.h"

// Calls the caller's progress function, if any, with a count that only grows.
struct ProgressReport {
    EncodeProgressFn function = nullptr;
    void* context = nullptr;
    uint64_t total = 0;
};

inline void ReportProgress(const ProgressReport& report, uint64_t done) {
    if (report.function) report.function(report.context, done, report.total);
}

// Input bytes per segment: the unit of offset-width choice and of progress.
constexpr uint32_t SEGMENT_BYTES = 1u << 16;

// The latest positions of each hash, one step of lazy matching; with more
// than one thread, sections of the input side by side.
void ParseFast(TokenStream& stream, uint32_t threads, const ProgressReport& report);

// Optimal parsing over the exact bit costs of every token; with more than one
// thread the match finder runs beside the parser.
void ParseBest(TokenStream& stream, uint32_t threads, const ProgressReport& report);
