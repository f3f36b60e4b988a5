// Writes encoder outputs of small varied inputs as the fuzzer's seed corpus.
#include <cstdio>
#include <string>
#include <vector>

#include "codec/encoder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_seeds DIRECTORY\n");
        return 2;
    }
    std::vector<std::vector<uint8_t>> inputs;
    inputs.push_back({});
    inputs.push_back({'a'});
    inputs.push_back(std::vector<uint8_t>(3000, 0));
    std::string text;
    for (int index = 0; index < 300; ++index)
        text += "block " + std::to_string(index * index % 97) + (index % 5 ? " of text " : "\r\n");
    inputs.push_back(std::vector<uint8_t>(text.begin(), text.end()));
    std::vector<uint8_t> mixed;
    uint32_t state = 1;
    for (int index = 0; index < 5000; ++index) {
        state = state * 1103515245u + 12345u;
        mixed.push_back(index % 700 < 350 ? uint8_t(state >> 24) : uint8_t(0x30 + (state >> 28)));
    }
    inputs.push_back(mixed);
    int written = 0;
    for (size_t index = 0; index < inputs.size(); ++index) {
        for (const CompressionLevel& level : CompressionLevels()) {
            if (!level.parse) continue;
            std::vector<uint8_t> block = EncodeBlock(inputs[index].data(), inputs[index].size(), level);
            std::string path = std::string(argv[1]) + "/seed-" + std::to_string(index) + "-" + level.name;
            FILE* file = fopen(path.c_str(), "wb");
            if (!file || fwrite(block.data(), 1, block.size(), file) != block.size()) {
                fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
                return 1;
            }
            fclose(file);
            ++written;
        }
    }
    printf("make_seeds: %d seeds in %s\n", written, argv[1]);
    return 0;
}
