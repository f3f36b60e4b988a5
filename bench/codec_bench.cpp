// Compares our fast and best levels with zlib 9, zstd 19 (long window) and
// xz 9 on one corpus, in one run: size, ratio, compression and decompression
// speed. Corpus: the given files in order, or by default Wine's i386 DLLs
// sorted by name, whole files up to 32 MiB in all, packed solid.
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <dirent.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "archive/block_decoder.h"
#include "codec/encoder.h"
#include "codec/levels.h"
#include "platform/platform.h"

namespace {

constexpr size_t CORPUS_LIMIT = size_t(32) << 20;
constexpr double MIN_DECODE_SECONDS = 1.0;
const char* const DEFAULT_CORPUS_DIR = "/usr/lib/i386-linux-gnu/wine/i386-windows";

using Bytes = std::vector<uint8_t>;

bool ReadWhole(const std::string& path, Bytes& out) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    uint8_t buffer[1 << 16];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) out.insert(out.end(), buffer, buffer + got);
    fclose(file);
    return true;
}

std::vector<std::string> DefaultCorpusFiles() {
    std::vector<std::string> names;
    if (DIR* dir = opendir(DEFAULT_CORPUS_DIR)) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0)
                names.push_back(std::string(DEFAULT_CORPUS_DIR) + "/" + name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Whole files in order while they fit in the limit.
Bytes LoadCorpus(const std::vector<std::string>& files, size_t& fileCount) {
    Bytes corpus;
    fileCount = 0;
    for (const std::string& path : files) {
        Bytes file;
        if (!ReadWhole(path, file)) {
            fprintf(stderr, "codec_bench: cannot read %s\n", path.c_str());
            continue;
        }
        if (corpus.size() + file.size() > CORPUS_LIMIT) break;
        corpus.insert(corpus.end(), file.begin(), file.end());
        ++fileCount;
    }
    return corpus;
}

double Seconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fastest of repeated runs, for at least MIN_DECODE_SECONDS in all.
double BestSeconds(const std::function<void()>& work) {
    double best = 1e30, total = 0;
    for (int run = 0; run < 3 || total < MIN_DECODE_SECONDS; ++run) {
        double seconds = Seconds(work);
        best = std::min(best, seconds);
        total += seconds;
    }
    return best;
}

struct Codec {
    std::string name;
    std::function<Bytes(const Bytes&)> compress;
    std::function<bool(const Bytes& packed, Bytes& output)> decompress;
};

Bytes OurCompress(const Bytes& input, const CompressionLevel& level, uint32_t threads) {
    return EncodeBlock(input.data(), input.size(), level, threads);
}

bool OurDecompress(const Bytes& packed, Bytes& output) {
    return DecodeBlock(packed.data(), uint32_t(packed.size()), output.data(), uint32_t(output.size())) == output.size();
}

Bytes ZlibCompress(const Bytes& input) {
    uLongf length = compressBound(input.size());
    Bytes packed(length);
    if (compress2(packed.data(), &length, input.data(), input.size(), 9) != Z_OK) return {};
    packed.resize(length);
    return packed;
}

bool ZlibDecompress(const Bytes& packed, Bytes& output) {
    uLongf length = output.size();
    return uncompress(output.data(), &length, packed.data(), packed.size()) == Z_OK && length == output.size();
}

Bytes ZstdCompress(const Bytes& input) {
    Bytes packed(ZSTD_compressBound(input.size()));
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 19);
    ZSTD_CCtx_setParameter(context, ZSTD_c_enableLongDistanceMatching, 1);
    ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, 27);
    size_t length = ZSTD_compress2(context, packed.data(), packed.size(), input.data(), input.size());
    ZSTD_freeCCtx(context);
    if (ZSTD_isError(length)) return {};
    packed.resize(length);
    return packed;
}

bool ZstdDecompress(const Bytes& packed, Bytes& output) {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, 27);
    size_t length = ZSTD_decompressDCtx(context, output.data(), output.size(), packed.data(), packed.size());
    ZSTD_freeDCtx(context);
    return !ZSTD_isError(length) && length == output.size();
}

Bytes XzCompress(const Bytes& input) {
    Bytes packed(lzma_stream_buffer_bound(input.size()));
    size_t length = 0;
    if (lzma_easy_buffer_encode(9, LZMA_CHECK_CRC32, nullptr, input.data(), input.size(), packed.data(), &length,
                                packed.size()) != LZMA_OK)
        return {};
    packed.resize(length);
    return packed;
}

bool XzDecompress(const Bytes& packed, Bytes& output) {
    uint64_t memoryLimit = UINT64_MAX;
    size_t in = 0, out = 0;
    return lzma_stream_buffer_decode(&memoryLimit, 0, nullptr, packed.data(), &in, packed.size(), output.data(), &out,
                                     output.size()) == LZMA_OK &&
           out == output.size();
}

}   // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int index = 1; index < argc; ++index) files.push_back(argv[index]);
    bool defaultCorpus = files.empty();
    if (defaultCorpus) files = DefaultCorpusFiles();
    size_t fileCount = 0;
    Bytes corpus = LoadCorpus(files, fileCount);
    if (corpus.empty()) {
        fprintf(stderr, "codec_bench: empty corpus (install wine32, or name files to compress)\n");
        return 1;
    }
    printf("Corpus: %s, %zu files, %zu bytes, packed solid\n\n",
           defaultCorpus ? "Wine i386-windows *.dll by name" : "files from the command line", fileCount, corpus.size());

    std::vector<Codec> codecs;
    uint32_t processors = ProcessorCount();
    for (const CompressionLevel& level : CompressionLevels()) {
        if (!level.parse) continue;
        for (uint32_t threads : {1u, processors}) {
            if (threads == processors && processors == 1) break;
            std::string name =
                std::string("ours ") + level.name + (threads > 1 ? " " + std::to_string(threads) + "t" : "");
            codecs.push_back(
                {name, [&level, threads](const Bytes& in) { return OurCompress(in, level, threads); }, OurDecompress});
        }
    }
    codecs.push_back({"zlib -9", ZlibCompress, ZlibDecompress});
    codecs.push_back({"zstd -19 long", ZstdCompress, ZstdDecompress});
    codecs.push_back({"xz -9", XzCompress, XzDecompress});
    struct Row {
        std::string name;
        size_t size;
        double compressMBs, decompressMBs;
        bool ok;
    };
    std::vector<Row> rows;
    for (const Codec& codec : codecs) {
        Bytes packed;
        double compressSeconds = Seconds([&] { packed = codec.compress(corpus); });
        Bytes output(corpus.size());
        bool ok = !packed.empty();
        double decompressSeconds = BestSeconds([&] { ok = ok && codec.decompress(packed, output); });
        ok = ok && output == corpus;
        rows.push_back({codec.name, packed.size(), corpus.size() / compressSeconds / 1e6,
                        corpus.size() / decompressSeconds / 1e6, ok});
        fprintf(stderr, "codec_bench: %s done\n", codec.name.c_str());
    }
    size_t zlibSize = 0;
    for (const Row& row : rows)
        if (row.name == "zlib -9") zlibSize = row.size;
    printf("| codec | compressed bytes | ratio | vs zlib -9 | compress MB/s | decompress MB/s |\n");
    printf("|---|---:|---:|---:|---:|---:|\n");
    bool allOk = true;
    for (const Row& row : rows) {
        printf("| %s | %zu | %.4f | %.3f | %.2f | %.1f |%s\n", row.name.c_str(), row.size,
               double(row.size) / corpus.size(), double(row.size) / zlibSize, row.compressMBs, row.decompressMBs,
               row.ok ? "" : " ROUND TRIP FAILED");
        allOk = allOk && row.ok;
    }
    printf("\nMB/s are 10^6 bytes of uncompressed data per second; one thread but for \"Nt\" (N threads).\n");
    return allOk ? 0 : 1;
}
