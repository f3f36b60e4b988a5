// create as a library: an installer whose block does not unpack as its header
// says is never committed, on one thread or two, told without running sfxpack.
#include <gtest/gtest.h>

#include <filesystem>

#include "codec/parsers.h"
#include "pack/create.h"
#include "pack_testing.h"

namespace {

// A level whose block holds the stream's size but not its bytes: every byte a
// zero byte, a nibble token, so that the block is shorter than the stream and kept.
void ParseAsZeros(TokenStream& stream, uint32_t, const ProgressReport&) {
    for (uint32_t position = 0; position < stream.size; ++position)
        AddToken(stream, Token{TOKEN_ZERO_BYTE, 0, position, 0, 1});
}

const CompressionLevel ZEROS = {"zeros", ParseAsZeros, "every byte a zero", false};

}   // namespace

TEST(Create, CommitsOnlyAnInstallerThatUnpacks) {
    struct Case {
        const CompressionLevel* level;
        uint32_t threads;
        std::string problem;
        std::vector<std::string> left;
    };
    const std::string broken = "internal error: the compressed block does not unpack to the entry stream";
    const std::vector<std::string> inputs = {"stub.exe", "tree/", "tree/a.txt"};
    const Case cases[] = {
        {FindCompressionLevel("fast"), 2, "", {"setup.exe", "stub.exe", "tree/", "tree/a.txt"}},
        {&ZEROS, 1, broken, inputs},
        {&ZEROS, 2, broken, inputs},
    };
    CodePage codePage;
    ASSERT_FALSE(OpenCodePage(DEFAULT_CODE_PAGE, &codePage));
    for (const Case& c : cases) {
        std::string scratch = MakeScratch("create");
        std::filesystem::create_directory(scratch + "/tree");
        WriteFile(scratch + "/tree/a.txt", std::string(5000, 'a'));
        WriteBytes(scratch + "/stub.exe", FakeStub());
        CreateRequest request;
        request.directory = scratch + "/tree";
        request.output = scratch + "/setup.exe";
        request.stub = scratch + "/stub.exe";
        request.level = c.level;
        request.threads = c.threads;
        CreateResult result;
        EXPECT_EQ(CreateInstaller(request, codePage, CreateSink(), &result).text, c.problem) << c.level->name;
        EXPECT_EQ(ListTree(scratch), c.left) << c.level->name << " " << c.threads;
        RemoveTree(scratch);
    }
    CloseCodePage(&codePage);
}
