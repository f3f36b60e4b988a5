// The two parsers: each covers the stream's whole input with tokens and
// flushes a segment at a time.
#pragma once

#include "codec/match_length.h"
#include "codec/token_stream.h"

// Hash chains with one step of lazy matching.
void ParseFast(TokenStream& stream, const ProgressReport& report);

// Optimal parsing over the exact bit costs of every token.
void ParseBest(TokenStream& stream, const ProgressReport& report);
