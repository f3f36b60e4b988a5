// The compression levels: one table, from which the command line, its help
// text, the archive writer, the summary line and the tests take the levels.
// A new level is a row here and its parser (codec/parsers.h).
#pragma once

#include <cstddef>
#include <string>

struct TokenStream;
struct ProgressReport;

struct CompressionLevel {
    const char* name;   // as --level takes it and the summary line shows it
    // Covers the input with tokens, with up to threads threads (the tokens are
    // the same for any number); null for a level that stores the entry stream
    // as it is, with no compressed block.
    void (*parse)(TokenStream& stream, uint32_t threads, const ProgressReport& report);
    const char* description;   // one line for the help text
    bool isDefault;            // the level when none is asked for (exactly one)
};

struct CompressionLevelTable {
    const CompressionLevel* first;
    size_t count;
    const CompressionLevel* begin() const { return first; }
    const CompressionLevel* end() const { return first + count; }
};

// Every level, from the fastest to the smallest output.
CompressionLevelTable CompressionLevels();

// The level with this name; null when there is none.
const CompressionLevel* FindCompressionLevel(const std::string& name);

const CompressionLevel& DefaultCompressionLevel();
