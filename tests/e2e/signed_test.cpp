// A signed installer carries a certificate table after its archive, named by
// the image's security directory: the stub accepts exactly that, and still
// refuses anything else after the stored block.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "../common/test_certificate.h"
#include "harness.h"

namespace fs = std::filesystem;

// A throw-away self-signed certificate, made once for this test program.
static const TestCertificate& Certificate() {
    static TestCertificate certificate;
    if (certificate.certificate.empty()) {
        std::string directory = fs::temp_directory_path() / ("sfx-e2e-certificate-" + std::to_string(getpid()));
        fs::create_directories(directory);
        std::string failure = MakeTestCertificate(directory, "sfx-test", &certificate);
        if (!failure.empty()) ADD_FAILURE() << failure;
    }
    return certificate;
}

static int RunQuietly(const std::string& command) { return system((command + " >/dev/null 2>&1").c_str()); }

// Writes stub + archive to the scratch directory and signs it as signed.exe.
static std::string MakeSignedInstaller(const Bytes& archive, const std::string& scratch) {
    Bytes installer = ReadFileBytes(StubPath());
    installer.insert(installer.end(), archive.begin(), archive.end());
    WriteFileBytes(scratch + "/unsigned.exe", installer);
    int status = RunQuietly("osslsigncode sign -certs '" + Certificate().certificate + "' -key '" + Certificate().key +
                            "' -in '" + scratch + "/unsigned.exe' -out '" + scratch + "/signed.exe'");
    EXPECT_EQ(status, 0) << "osslsigncode sign failed";
    fs::remove(scratch + "/unsigned.exe");
    return scratch + "/signed.exe";
}

// File offset of the security directory entry (offset, size) of a PE32 image.
static size_t SecurityEntryAt(const Bytes& image) {
    return Uint32At(image, PE_HEADER_POINTER) + PE_SECURITY_ENTRY_AFTER_HEADER;
}

static std::vector<EntrySpec> Entries(size_t dataSize) {
    return {DirectoryEntry("docs\\"), FileEntry("docs\\readme.txt", std::string(dataSize, 'r')),
            FileEntry("app.bin", "application")};
}

TEST(Signed, SignedInstallerVerifiesAndExtractsWhateverPaddingTheTableNeeds) {
    // Archive ends on an 8-byte boundary, and 1 to 7 bytes before one.
    for (size_t dataSize = 17; dataSize < 25; ++dataSize) {
        SCOPED_TRACE(dataSize);
        std::string test = "signed_" + std::to_string(dataSize);
        std::string scratch = FreshScratch(test);
        std::string installer =
            MakeSignedInstaller(MakeStoredArchive(MakeEntryStream(".\\", Entries(dataSize))), scratch);
        EXPECT_EQ(RunQuietly("osslsigncode verify -CAfile '" + Certificate().certificate + "' -in '" + installer + "'"),
                  0);
        InstallerRun run = RunInstallerFile(installer, scratch);
        EXPECT_EQ(run.exitCode, 0) << run.log;
        EXPECT_TRUE(run.boxes.empty());
        EXPECT_EQ(ReadFileText(scratch + "/docs/readme.txt"), std::string(dataSize, 'r'));
        EXPECT_EQ(ReadFileText(scratch + "/app.bin"), "application");
    }
}

TEST(Signed, AnythingElseAfterTheArchiveIsStillRefused) {
    std::string scratch = FreshScratch("signed_damaged");
    Bytes archive = MakeStoredArchive(MakeEntryStream(".\\", Entries(20)));
    Bytes signedInstaller = ReadFileBytes(MakeSignedInstaller(archive, scratch));
    size_t entry = SecurityEntryAt(signedInstaller);
    ASSERT_EQ(Uint32At(signedInstaller, entry) + Uint32At(signedInstaller, entry + 4), signedInstaller.size());

    struct Case {
        const char* name;
        Bytes installer;
    } cases[] = {{"byte_after_table", signedInstaller},
                 {"table_short_of_end", signedInstaller},
                 {"table_elsewhere", signedInstaller},
                 {"no_table", signedInstaller}};
    cases[0].installer.push_back(0);
    SetUint32At(&cases[1].installer, entry + 4, Uint32At(signedInstaller, entry + 4) - 8);
    SetUint32At(&cases[2].installer, entry, Uint32At(signedInstaller, entry) + 8);
    SetUint32At(&cases[3].installer, entry + 4, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string caseScratch = FreshScratch(std::string("signed_") + c.name);
        WriteFileBytes(caseScratch + "/installer.exe", c.installer);
        InstallerRun run = RunInstallerFile(caseScratch + "/installer.exe", caseScratch);
        ExpectInvalidArchive(run);
        EXPECT_FALSE(Exists(caseScratch + "/app.bin"));
    }
}

TEST(Signed, UnsignedInstallerWithEightTrailingBytesIsRefused) {
    Bytes archive = MakeStoredArchive(MakeEntryStream(".\\", Entries(20)));
    archive.insert(archive.end(), 8, 0);
    InstallerRun run = RunInstaller(archive, "unsigned_trailing_bytes");
    ExpectInvalidArchive(run);
    EXPECT_FALSE(Exists(run.scratch + "/app.bin"));
}

TEST(Signed, InstallerSignedBySfxpackInstallsLikeAnUnsignedOne) {
    std::string scratch = FreshScratch("signed_by_sfxpack");
    std::string tree = scratch + "/tree";
    fs::create_directories(tree + "/docs");
    WriteFileBytes(tree + "/docs/readme.txt", Bytes{'r', 'e', 'a', 'd'});
    WriteFileBytes(tree + "/app.bin", Bytes(5000, 'a'));
    std::string installer = scratch + "/signed.exe";
    ASSERT_EQ(RunQuietly("'" SFX_SOURCE_DIR "/dist/sfxpack' create '" + tree + "' -o '" + installer +
                         "' --quiet --sign-cert '" + Certificate().certificate + "' --sign-key '" + Certificate().key +
                         "'"),
              0);
    EXPECT_EQ(RunQuietly("osslsigncode verify -CAfile '" + Certificate().certificate + "' -in '" + installer + "'"), 0);
    fs::remove_all(tree);
    InstallerRun run = RunInstallerFile(installer, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(ReadFileText(scratch + "/docs/readme.txt"), "read");
    EXPECT_EQ(ReadFileBytes(scratch + "/app.bin"), Bytes(5000, 'a'));
}
