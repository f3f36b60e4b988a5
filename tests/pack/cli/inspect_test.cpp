// verify, list and extract on installers that the installer would refuse:
// the reason is given, exit code 1, and extract writes nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "../pack_testing.h"
#include "archive/crc32.h"

namespace {

struct Made {
    std::string scratch, installer;
    Bytes bytes;
};

Made MakeInstaller(const std::string& label) {
    Made made;
    made.scratch = MakeScratch(label);
    std::string tree = made.scratch + "/tree";
    mkdir(tree.c_str(), 0755);
    mkdir((tree + "/docs").c_str(), 0755);
    std::string text;
    for (int line = 0; line < 300; ++line) text += "a line of the manual, number " + std::to_string(line % 10) + "\n";
    WriteFile(tree + "/docs/manual.txt", text);
    WriteBytes(made.scratch + "/stub.exe", FakeStub());
    made.installer = made.scratch + "/setup.exe";
    RunPack({"create", tree, "-o", made.installer, "--stub", made.scratch + "/stub.exe", "--quiet"});
    made.bytes = ReadBytes(made.installer);
    return made;
}

// An installer around a hand-made entry stream, stored.
Bytes StoredInstaller(const Bytes& stream) {
    Bytes bytes = FakeStub();
    uint32_t header[3] = {(uint32_t)stream.size(), (uint32_t)stream.size(),
                          Crc32Fingerprint(stream.data(), (uint32_t)stream.size())};
    for (uint32_t value : header)
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(value >> shift));
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    return bytes;
}

Bytes Stream(const std::string& text) { return Bytes(text.begin(), text.end()); }

}   // namespace

TEST(CliInspect, DamagedInstallersAreRefusedWithTheReason) {
    Made made = MakeInstaller("damaged");
    ASSERT_GT(made.bytes.size(), 11264u + 40);
    struct Case {
        Bytes bytes;
        const char* words;
    };
    Bytes flipped = made.bytes;
    flipped[11264 + 8] ^= 1;   // the header's CRC-32
    Bytes longer = made.bytes;
    longer.push_back(0);
    Bytes shorter(made.bytes.begin(), made.bytes.end() - 1);
    Bytes badStub = made.bytes;
    badStub[0] = 'X';
    const Case cases[] = {
        {flipped, "CRC-32"},
        {longer, "1 bytes follow the stored block"},
        {shorter, "runs past the end of the file"},
        {Bytes(made.bytes.begin(), made.bytes.begin() + 11264), "no archive"},
        {StoredInstaller(Stream(std::string(".\\\0\xFD\xFF\xFF\xFFx\0", 10))), "size code -3 is invalid"},
    };
    for (const Case& c : cases) {
        WriteBytes(made.installer, c.bytes);
        ProgramRun verified = RunPack({"verify", made.installer});
        EXPECT_EQ(verified.exitCode, 1) << c.words;
        EXPECT_NE(verified.err.find(made.installer + ": invalid installer: "), std::string::npos) << verified.err;
        EXPECT_NE(verified.err.find(c.words), std::string::npos) << verified.err;
        EXPECT_EQ(RunPack({"list", made.installer}).exitCode, 1) << c.words;
    }
    WriteBytes(made.installer, badStub);   // only verify looks at the stub
    ProgramRun verified = RunPack({"verify", made.installer});
    EXPECT_EQ(verified.exitCode, 1);
    EXPECT_NE(verified.err.find("the stub is not a Windows program"), std::string::npos) << verified.err;
    RemoveTree(made.scratch);
}

TEST(CliInspect, ExtractWritesNothingForAnInstallerThatLeavesItsTarget) {
    Made made = MakeInstaller("escape");
    std::string stream("C:\\T\\\0", 6);
    stream += std::string("\xFE\xFF\xFF\xFFin\\\0", 8);
    stream += std::string("\x02\0\0\0in\\..\\..\\evil\0hi", 20);
    WriteBytes(made.installer, StoredInstaller(Stream(stream)));
    std::string out = made.scratch + "/out";
    ProgramRun run = RunPack({"extract", made.installer, out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("'in\\..\\..\\evil' would leave the target directory"), std::string::npos) << run.err;
    EXPECT_FALSE(PathExists(out));
    EXPECT_FALSE(PathExists(made.scratch + "/evil"));
    ProgramRun listed = RunPack({"list", made.installer});   // shows what comes before the fault
    EXPECT_EQ(listed.exitCode, 1);
    EXPECT_NE(listed.out.find("       <dir>  in\\"), std::string::npos) << listed.out;
    RemoveTree(made.scratch);
}

TEST(CliInspect, ExtractNeedsANewOrEmptyDirectory) {
    Made made = MakeInstaller("occupied");
    std::string out = made.scratch + "/out";
    mkdir(out.c_str(), 0755);
    WriteFile(out + "/mine.txt", "keep");
    ProgramRun run = RunPack({"extract", made.installer, out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(out + ": must be a new or empty directory"), std::string::npos) << run.err;
    EXPECT_EQ(ListTree(out), std::vector<std::string>{"mine.txt"});
    RemoveTree(made.scratch);
}

TEST(CliInspect, VerifyWarnsAboutSoundButOddStreams) {
    Made made = MakeInstaller("odd");
    std::string stream(".\\\0", 3);
    stream += std::string("\x01\0\0\0sub\\a\0x", 11);   // before its directory
    stream += std::string("\xFE\xFF\xFF\xFFsub\\\0", 9);
    stream += std::string("\xFF\xFF\xFF\xFFjunk", 8);
    WriteBytes(made.installer, StoredInstaller(Stream(stream)));
    ProgramRun run = RunPack({"verify", made.installer});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("'sub\\a' comes before the entry of its directory sub\\"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("4 bytes after the end code are never read"), std::string::npos) << run.err;
    RemoveTree(made.scratch);
}
