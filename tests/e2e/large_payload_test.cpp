// A stored installer of 800 MiB, made by sfxpack: more than a 32-bit process
// without a large address space can hold under Wine (542 MiB), so it installs
// only because the stub is large-address aware. It has a CTest label of its
// own (e2e-large): the installer and the installed file take about 1.6 GB,
// which the test removes again, also when it fails.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "harness.h"

namespace fs = std::filesystem;

static const off_t kPayloadBytes = 800 << 20;

// The bytes at both ends of a file.
static std::string Ends(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(4, 0), tail(4, 0);
    in.read(&head[0], 4);
    in.seekg(-4, std::ios::end);
    in.read(&tail[0], 4);
    return head + tail;
}

TEST(LargePayload, StoredInstallerOf800MiBInstalls) {
    std::string scratch = FreshScratch("large_payload");
    struct Cleanup {
        std::string path;
        ~Cleanup() { fs::remove_all(path); }
    } cleanup{scratch};
    std::string tree = scratch + "/tree", out = scratch + "/out", installer = scratch + "/setup.exe";
    fs::create_directories(tree);
    fs::create_directories(out);
    // Sparse, with a mark at either end, so that a byte out of place shows.
    std::string payload = tree + "/payload.bin";
    { std::ofstream(payload, std::ios::binary) << "head"; }
    ASSERT_EQ(truncate(payload.c_str(), kPayloadBytes - 4), 0);
    { std::ofstream(payload, std::ios::binary | std::ios::app) << "tail"; }

    ASSERT_EQ(RunPack({"create", tree, "-o", installer, "--level", "store", "--quiet"}, scratch + "/pack.log"), 0)
        << ReadFileText(scratch + "/pack.log");
    fs::remove_all(tree);
    InstallerRun run = RunInstallerFile(installer, out);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(run.boxes.empty());
    ASSERT_TRUE(Exists(out + "/payload.bin"));
    EXPECT_EQ(fs::file_size(out + "/payload.bin"), (uintmax_t)kPayloadBytes);
    EXPECT_EQ(Ends(out + "/payload.bin"), "headtail");
}
