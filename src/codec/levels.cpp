#include "codec/levels.h"

#include "codec/parsers.h"

static const CompressionLevel LEVELS[] = {
    {"store", nullptr, "no compression: the entry stream as it is", false},
    {"fast", ParseFast, "recent matches, one step of lazy matching", false},
    {"best", ParseBest, "optimal parsing: the smallest output, the slowest", true},
};

CompressionLevelTable CompressionLevels() { return {LEVELS, sizeof(LEVELS) / sizeof(LEVELS[0])}; }

const CompressionLevel* FindCompressionLevel(const std::string& name) {
    for (const CompressionLevel& level : CompressionLevels())
        if (name == level.name) return &level;
    return nullptr;
}

const CompressionLevel& DefaultCompressionLevel() {
    for (const CompressionLevel& level : CompressionLevels())
        if (level.isDefault) return level;
    return LEVELS[0];
}
