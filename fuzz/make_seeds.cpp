// Writes seed corpora for the fuzzers: "blocks", encoder outputs of small
// varied inputs (the decoders' targets); "archives", the archives of small
// installers after an empty security entry (the installer reader's target).
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "codec/encoder.h"
#include "format/little_endian.h"
#include "pack/installer/installer_file.h"

namespace {

std::vector<std::vector<uint8_t>> Inputs() {
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
    return inputs;
}

// An entry stream of a directory, a file holding the input, another file and
// a control file of each mode.
std::vector<uint8_t> EntryStream(const std::vector<uint8_t>& data, int variant) {
    std::vector<uint8_t> stream;
    auto text = [&](const std::string& value) {
        stream.insert(stream.end(), value.begin(), value.end());
        stream.push_back(0);
    };
    text(variant % 2 ? "C:\\App\\" : ".\\setup.tmp\\");
    AppendLittleEndian32(&stream, (uint32_t)-2);
    text("docs\\");
    AppendLittleEndian32(&stream, (uint32_t)data.size());
    text("docs\\data.bin");
    stream.insert(stream.end(), data.begin(), data.end());
    std::string control = variant % 2 ? "C:\\App\\docs\\data.bin\r\nApp\r\n\r\n\r\n" : "\r\n\r\n\r\nrun.exe /s\r\n";
    AppendLittleEndian32(&stream, (uint32_t)control.size());
    text("$$$.$$$");
    stream.insert(stream.end(), control.begin(), control.end());
    AppendLittleEndian32(&stream, (uint32_t)-1);
    return stream;
}

bool WriteSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file) fclose(file);
    if (!written) fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
    return written;
}

}   // namespace

int main(int argc, char** argv) {
    bool archives = argc == 3 && strcmp(argv[1], "archives") == 0;
    if (argc != 3 || (!archives && strcmp(argv[1], "blocks") != 0)) {
        fprintf(stderr, "usage: make_seeds blocks|archives DIRECTORY\n");
        return 2;
    }
    std::vector<std::vector<uint8_t>> inputs = Inputs();
    int written = 0;
    for (size_t index = 0; index < inputs.size(); ++index) {
        for (const CompressionLevel& level : CompressionLevels()) {
            if (!archives && !level.parse) continue;
            std::vector<uint8_t> seed;
            if (archives) {
                std::vector<uint8_t> stream = EntryStream(inputs[index], (int)index);
                PackedArchive archive = PackArchive(std::move(stream), level, 1, nullptr, nullptr);
                seed.assign(8, 0);
                std::vector<uint8_t> header = ArchiveHeaderBytes(archive.header);
                seed.insert(seed.end(), header.begin(), header.end());
                seed.insert(seed.end(), archive.block.begin(), archive.block.end());
            } else {
                seed = EncodeBlock(inputs[index].data(), inputs[index].size(), level);
            }
            std::string path = std::string(argv[2]) + "/seed-" + std::to_string(index) + "-" + level.name;
            if (!WriteSeed(path, seed)) return 1;
            ++written;
        }
    }
    printf("make_seeds: %d seeds in %s\n", written, argv[2]);
    return 0;
}
