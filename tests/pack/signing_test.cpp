// create --sign-cert/--sign-key: the installer is signed with osslsigncode,
// list and verify report the signature, and every failure to sign leaves no
// installer. The certificates are throw-away self-signed ones.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "../common/test_certificate.h"
#include "pack_testing.h"
#include "platform/platform.h"

namespace {

// Runs sfxpack with one environment variable set (or unset, for a null value).
ProgramRun RunPackWith(const char* variable, const char* value, const std::vector<std::string>& arguments,
                       int signalNumber = 0, const std::string& signalOnceIn = "") {
    const char* old = getenv(variable);
    std::string kept = old ? old : "";
    if (value) setenv(variable, value, 1);
    else unsetenv(variable);
    ProgramRun run = RunProgram(SFXPACK_PATH, arguments, 0, signalNumber, signalOnceIn);
    if (old) setenv(variable, kept.c_str(), 1);
    else unsetenv(variable);
    return run;
}

// A fake signing tool in a directory of its own, to put first in PATH.
std::string FakeTool(const std::string& scratch, const std::string& script) {
    std::string directory = scratch + "/fake-tool";
    mkdir(directory.c_str(), 0755);
    WriteFile(directory + "/osslsigncode", "#!/bin/sh\nfor last; do :; done\n" + script);
    chmod((directory + "/osslsigncode").c_str(), 0755);
    return directory;
}

class Signing : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        keys = MakeScratch("keys");
        ASSERT_EQ(MakeTestCertificate(keys, "sfx-test", &certificate), "");
        ASSERT_EQ(MakeTestCertificate(keys, "stranger", &stranger), "");
        ASSERT_EQ(EncryptTestKey(certificate, "open sesame", keys + "/encrypted-key.pem"), "");
        WriteFile(keys + "/password.txt", "open sesame\n");
        WriteFile(keys + "/wrong-password.txt", "open barley\n");
        tool = FindProgram("osslsigncode");
        ASSERT_NE(tool, "") << "osslsigncode is missing: run scripts/install-deps";
    }
    static void TearDownTestSuite() { RemoveTree(keys); }

    void SetUp() override {
        scratch = MakeScratch("signing");
        tree = scratch + "/tree";
        stub = scratch + "/stub.exe";
        outDirectory = scratch + "/out";
        output = outDirectory + "/setup.exe";
        mkdir(tree.c_str(), 0755);
        mkdir((tree + "/docs").c_str(), 0755);
        std::string text;
        for (int line = 0; line < 200; ++line) text += "line " + std::to_string(line % 13) + " of the manual\n";
        WriteFile(tree + "/docs/manual.txt", text);
        WriteFile(tree + "/app.exe", "MZ not really a program");
        WriteBytes(stub, FakeStub());
        mkdir(outDirectory.c_str(), 0755);
    }
    void TearDown() override { RemoveTree(scratch); }

    std::vector<std::string> CreateArguments(const std::string& key, std::vector<std::string> options = {}) {
        std::vector<std::string> arguments = {
            "create", tree, "-o", output, "--stub", stub, "--sign-cert", certificate.certificate, "--sign-key", key};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return arguments;
    }
    ProgramRun CreateSigned(std::vector<std::string> options = {}) {
        return RunPack(CreateArguments(certificate.key, options));
    }
    // Refused with exit code 1, the words in the message, and nothing in the output directory.
    void ExpectNoInstaller(const ProgramRun& run, const std::vector<std::string>& words) {
        EXPECT_EQ(run.exitCode, 1) << run.err;
        for (const std::string& word : words)
            EXPECT_NE(run.err.find(word), std::string::npos) << word << " in: " << run.err;
        EXPECT_EQ(ListTree(outDirectory), std::vector<std::string>{}) << "left behind";
    }

    static std::string keys, tool;
    static TestCertificate certificate, stranger;
    std::string scratch, tree, stub, outDirectory, output;
};

std::string Signing::keys, Signing::tool;
TestCertificate Signing::certificate, Signing::stranger;

}   // namespace

TEST_F(Signing, SignedInstallerVerifiesListsAndExtractsAsTheUnsignedOne) {
    std::string unsignedPath = scratch + "/unsigned.exe";
    ASSERT_EQ(RunPack({"create", tree, "-o", unsignedPath, "--stub", stub}).exitCode, 0);
    ProgramRun created = CreateSigned();
    ASSERT_EQ(created.exitCode, 0) << created.err;
    EXPECT_NE(created.out.find(", signed (certificate table "), std::string::npos) << created.out;
    EXPECT_EQ(ListTree(outDirectory), std::vector<std::string>{"setup.exe"});   // no temporary left

    // The table follows the archive at the next multiple of 8 and ends the file;
    // besides the checksum (right for the signed file) and the security entry,
    // nothing before it changed.
    Bytes plain = ReadBytes(unsignedPath), signedBytes = ReadBytes(output);
    uint32_t offset = Uint32At(signedBytes, FAKE_STUB_SECURITY_ENTRY),
             size = Uint32At(signedBytes, FAKE_STUB_SECURITY_ENTRY + 4);
    EXPECT_EQ(offset, (plain.size() + 7) / 8 * 8);
    EXPECT_EQ((size_t)offset + size, signedBytes.size());
    EXPECT_EQ(Uint32At(signedBytes, FAKE_STUB_CHECKSUM), PeChecksumOf(signedBytes, FAKE_STUB_CHECKSUM));
    Bytes prefix(signedBytes.begin(), signedBytes.begin() + plain.size());
    SetUint32At(&prefix, FAKE_STUB_CHECKSUM, 0);
    SetUint32At(&plain, FAKE_STUB_CHECKSUM, 0);
    SetUint32At(&prefix, FAKE_STUB_SECURITY_ENTRY, 0);
    SetUint32At(&prefix, FAKE_STUB_SECURITY_ENTRY + 4, 0);
    EXPECT_EQ(prefix, plain);

    ProgramRun checked = RunProgram(tool, {"verify", "-CAfile", certificate.certificate, "-in", output});
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;

    std::string table = "certificate table of " + std::to_string(size) + " bytes at offset " + std::to_string(offset);
    ProgramRun verified = RunPack({"verify", output, "--sign-ca", certificate.certificate});
    EXPECT_EQ(verified.exitCode, 0) << verified.err;
    EXPECT_NE(verified.out.find("valid installer: 2 files, 1 directory"), std::string::npos) << verified.out;
    EXPECT_NE(verified.out.find("signed: " + table), std::string::npos) << verified.out;
    EXPECT_NE(verified.out.find("signature accepted by osslsigncode verify"), std::string::npos) << verified.out;
    EXPECT_EQ(verified.err.find("signature"), std::string::npos) << verified.err;
    // Without the test certificate among the trusted ones: still a valid installer, with a warning.
    verified = RunPack({"verify", output});
    EXPECT_EQ(verified.exitCode, 0) << verified.err;
    EXPECT_NE(verified.err.find("osslsigncode verify does not accept the signature: "), std::string::npos)
        << verified.err;
    EXPECT_NE(verified.err.find("self-signed"), std::string::npos) << verified.err;
    // Someone else's certificate authority does not vouch for it either; both times --sign-ca is named.
    ProgramRun byStranger = RunPack({"verify", output, "--sign-ca", stranger.certificate});
    EXPECT_NE(byStranger.err.find("does not accept the signature"), std::string::npos) << byStranger.err;
    for (const ProgramRun& run : {verified, byStranger})
        EXPECT_NE(run.err.find("give its certificate, or its authority's, with --sign-ca FILE"), std::string::npos)
            << run.err;

    ProgramRun listed = RunPack({"list", output});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("signature: " + table + "\n"), std::string::npos) << listed.out;
    EXPECT_NE(RunPack({"list", unsignedPath}).out.find("signature: none\n"), std::string::npos);
    EXPECT_NE(RunPack({"verify", unsignedPath}).out.find(", unsigned\n"), std::string::npos);

    ASSERT_EQ(RunPack({"extract", output, scratch + "/extracted"}).exitCode, 0);
    EXPECT_EQ(CompareTrees(tree, scratch + "/extracted"), "");
}

TEST_F(Signing, AnythingButTheTableAfterTheArchiveIsRefused) {
    ASSERT_EQ(CreateSigned().exitCode, 0);
    Bytes signedBytes = ReadBytes(output);
    uint32_t offset = Uint32At(signedBytes, FAKE_STUB_SECURITY_ENTRY),
             size = Uint32At(signedBytes, FAKE_STUB_SECURITY_ENTRY + 4);
    std::string damaged = scratch + "/damaged.exe";
    struct Case {
        Bytes bytes;
        std::string words;
    };
    Bytes appended = signedBytes;
    appended.push_back(0);
    Bytes movedEntry = signedBytes;
    SetUint32At(&movedEntry, FAKE_STUB_SECURITY_ENTRY, offset + 8);
    Bytes shortEntry = signedBytes;
    SetUint32At(&shortEntry, FAKE_STUB_SECURITY_ENTRY + 4, size - 8);
    Bytes clearedEntry = signedBytes;
    SetUint32At(&clearedEntry, FAKE_STUB_SECURITY_ENTRY, 0);
    SetUint32At(&clearedEntry, FAKE_STUB_SECURITY_ENTRY + 4, 0);
    ASSERT_EQ(RunPack({"create", tree, "-o", damaged, "--stub", stub}).exitCode, 0);
    Bytes unsignedTrailing = ReadBytes(damaged);
    unsignedTrailing.resize(unsignedTrailing.size() + 8, 0);
    const Case cases[] = {
        {appended, "not at the end of the file (" + std::to_string(signedBytes.size() + 1) + ")"},
        {movedEntry, "does not start within 7 bytes of the stored block's end"},
        {shortEntry, "ends at " + std::to_string(offset + size - 8)},
        {clearedEntry, "the PE header names no certificate table"},
        {unsignedTrailing, "8 bytes follow the stored block, and the PE header names no certificate table"},
    };
    for (const Case& c : cases) {
        WriteBytes(damaged, c.bytes);
        ProgramRun verified = RunPack({"verify", damaged});
        EXPECT_EQ(verified.exitCode, 1) << c.words;
        EXPECT_NE(verified.err.find(damaged + ": invalid installer: "), std::string::npos) << verified.err;
        EXPECT_NE(verified.err.find(c.words), std::string::npos) << c.words << " in: " << verified.err;
        EXPECT_EQ(RunPack({"list", damaged}).exitCode, 1) << c.words;
    }
}

TEST_F(Signing, EntryNamingATableThatIsNotThereIsWarnedAbout) {
    ASSERT_EQ(RunPack({"create", tree, "-o", output, "--stub", stub}).exitCode, 0);
    Bytes bytes = ReadBytes(output);
    SetUint32At(&bytes, FAKE_STUB_SECURITY_ENTRY, 40000);
    SetUint32At(&bytes, FAKE_STUB_SECURITY_ENTRY + 4, 1000);
    WriteBytes(output, bytes);
    ProgramRun verified = RunPack({"verify", output});
    EXPECT_EQ(verified.exitCode, 0) << verified.err;   // the installer itself never looks at it
    EXPECT_NE(verified.err.find("names a certificate table (certificate table of 1000 bytes at offset 40000) that is "
                                "not there"),
              std::string::npos)
        << verified.err;
}

TEST_F(Signing, MissingToolFailsAtOnceAndLeavesNothing) {
    ProgramRun run = RunPackWith("PATH", (scratch + "/no-tools").c_str(), CreateArguments(certificate.key));
    ExpectNoInstaller(run, {"osslsigncode is not installed", "install the Debian package osslsigncode"});
    // verify and list still work on a signed installer; verify says it could not check the signature.
    ASSERT_EQ(CreateSigned().exitCode, 0);
    ProgramRun verified = RunPackWith("PATH", (scratch + "/no-tools").c_str(), {"verify", output});
    EXPECT_EQ(verified.exitCode, 0) << verified.err;
    EXPECT_NE(verified.out.find("signature not checked: osslsigncode is not installed"), std::string::npos)
        << verified.out;
}

TEST_F(Signing, KeyOrCertificateThatDoNotSignLeaveTheOldInstaller) {
    WriteFile(output, "previous installer");
    auto expectOldInstallerOnly = [&](const ProgramRun& run, const std::string& words) {
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(words), std::string::npos) << words << " in: " << run.err;
        EXPECT_EQ(ListTree(outDirectory), std::vector<std::string>{"setup.exe"});
        Bytes kept = ReadBytes(output);
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous installer");
    };
    expectOldInstallerOnly(RunPack(CreateArguments(stranger.key)), output + ": signing with osslsigncode failed");
    WriteFile(scratch + "/junk.pem", "not a certificate\n");
    std::vector<std::string> junkCertificate = CreateArguments(certificate.key);
    junkCertificate[7] = scratch + "/junk.pem";
    expectOldInstallerOnly(RunPack(junkCertificate), "signing with osslsigncode failed");
    expectOldInstallerOnly(RunPack(CreateArguments(scratch + "/none.pem")),
                           "--sign-key " + scratch + "/none.pem: No such file");
}

TEST_F(Signing, EncryptedKeyNeedsTheRightPasswordFile) {
    std::string encrypted = keys + "/encrypted-key.pem";
    ExpectNoInstaller(RunPack(CreateArguments(encrypted, {"--sign-pass-file", keys + "/wrong-password.txt"})),
                      {"signing with osslsigncode failed"});
    ExpectNoInstaller(RunPack(CreateArguments(encrypted)),   // never a prompt
                      {"--sign-key " + encrypted + ": the key is encrypted", "--sign-pass-file FILE"});
    ExpectNoInstaller(RunPack(CreateArguments(encrypted, {"--sign-pass-file", scratch + "/none.txt"})),
                      {"--sign-pass-file " + scratch + "/none.txt: No such file"});
    ProgramRun created = RunPack(CreateArguments(encrypted, {"--sign-pass-file", keys + "/password.txt"}));
    ASSERT_EQ(created.exitCode, 0) << created.err;
    EXPECT_EQ(RunProgram(tool, {"verify", "-CAfile", certificate.certificate, "-in", output}).exitCode, 0);
}

// Timestamp servers in order, each tried twice, until one gives a timestamp;
// the failure names each. A stand-in tool passes the runs with the good
// server on to osslsigncode without it, and fails the others as the tool does.
TEST_F(Signing, TimestampServersAreTriedInOrderTwiceEach) {
    ExpectNoInstaller(CreateSigned({"--timestamp", "http://127.0.0.1:9/"}),
                      {"signing with osslsigncode failed with every timestamp server, each tried twice: with the "
                       "timestamp server http://127.0.0.1:9/ (exit code 1): HTTP failure"});
    std::string log = scratch + "/servers.log";
    std::string tools =
        FakeTool(scratch, "for a; do case $a in http:*) server=$a;; esac; done\n"
                          "echo \"$server\" >> '" +
                              log +
                              "'\n"
                              "if [ \"$server\" != http://good/ ]; then\n"
                              "  echo \"HTTP failure: Failed to get data from $server\"\n"
                              "  echo 'Use the \"-t\" option to add the Authenticode Time-Stamp Authority'\n"
                              "  exit 1\n"
                              "fi\n"
                              "skip=; for a; do shift\n"
                              "  if [ -n \"$skip\" ]; then skip=; elif [ \"$a\" = -ts ]; then skip=1\n"
                              "  else set -- \"$@\" \"$a\"; fi\n"
                              "done\n"
                              "exec '" +
                              tool + "' \"$@\"\n");
    ProgramRun failed =
        RunPackWith("PATH", tools.c_str(),
                    CreateArguments(certificate.key, {"--timestamp", "http://a/", "--timestamp", "http://b/"}));
    ExpectNoInstaller(failed,
                      {"with the timestamp server http://a/ (exit code 1): HTTP failure: Failed to get data from "
                       "http://a/; with the timestamp server http://b/ (exit code 1): HTTP failure"});
    EXPECT_EQ(failed.err.find("-t\""), std::string::npos) << failed.err;   // the tool's advice is no option here
    Bytes tried = ReadBytes(log);
    EXPECT_EQ(std::string(tried.begin(), tried.end()), "http://a/\nhttp://a/\nhttp://b/\nhttp://b/\n");
    unlink(log.c_str());
    ProgramRun stamped = RunPackWith("PATH", tools.c_str(),
                                     CreateArguments(certificate.key, {"--timestamp", "http://a/", "--timestamp",
                                                                       "http://good/", "--timestamp", "http://c/"}));
    ASSERT_EQ(stamped.exitCode, 0) << stamped.err;
    tried = ReadBytes(log);
    EXPECT_EQ(std::string(tried.begin(), tried.end()), "http://a/\nhttp://a/\nhttp://good/\n");
    EXPECT_EQ(RunProgram(tool, {"verify", "-CAfile", certificate.certificate, "-in", output}).exitCode, 0);
}

TEST_F(Signing, StubThatCannotCarryASignatureIsRefusedFirst) {
    Bytes noOptionalHeader = FakeStub();
    noOptionalHeader[0x98] = 0;
    WriteBytes(stub, noOptionalHeader);
    ExpectNoInstaller(CreateSigned(), {"stub " + stub + ": has no PE32 optional header"});
    ASSERT_EQ(RunPack({"create", tree, "-o", output, "--stub", stub}).exitCode, 0);   // unsigned, it serves
}

TEST_F(Signing, FixedSigningTimeGivesTheSameBytes) {
    ASSERT_EQ(RunPackWith("SOURCE_DATE_EPOCH", "1700000000", CreateArguments(certificate.key)).exitCode, 0);
    Bytes first = ReadBytes(output);
    sleep(1);   // a signing time taken from the clock would now differ
    ASSERT_EQ(RunPackWith("SOURCE_DATE_EPOCH", "1700000000", CreateArguments(certificate.key)).exitCode, 0);
    EXPECT_EQ(ReadBytes(output), first);
    ASSERT_EQ(RunPackWith("SOURCE_DATE_EPOCH", "1700000001", CreateArguments(certificate.key)).exitCode, 0);
    EXPECT_NE(ReadBytes(output), first);
    unlink(output.c_str());
    ExpectNoInstaller(RunPackWith("SOURCE_DATE_EPOCH", "yesterday", CreateArguments(certificate.key)),
                      {"SOURCE_DATE_EPOCH 'yesterday' is not a number of seconds"});
}

TEST_F(Signing, ToolThatClaimsSuccessWithAnUnusableFileLeavesNothing) {
    struct Case {
        std::string script, words;
    };
    const Case cases[] = {
        {"exit 0\n", "osslsigncode signed is unusable"},   // wrote nothing
        {"/bin/cp \"$3\" \"$last\"\nexit 0\n",
         "the installer would refuse it: not an installer made by sfxpack"},   // $3: the certificate
        {"while [ \"$1\" != -in ]; do shift; done\n/bin/cp \"$2\" \"$last\"\nexit 0\n", "holds no certificate table"},
    };
    for (const Case& c : cases) {
        std::string tools = FakeTool(scratch, c.script);
        ProgramRun run = RunPackWith("PATH", tools.c_str(), CreateArguments(certificate.key));
        ExpectNoInstaller(run, {c.words});
    }
}

TEST_F(Signing, InterruptWhileSigningLeavesNoFile) {
    // The tool notes its start, then would write its output a second late:
    // the interrupt, sent once it has started, must stop it first.
    std::string started = scratch + "/started";
    std::string tools = FakeTool(scratch, ": > '" + started + "/tool'\n/bin/sleep 1\necho late > \"$last\"\n");
    for (int signalNumber : {SIGINT, SIGTERM}) {
        RemoveTree(started);
        mkdir(started.c_str(), 0755);
        ProgramRun run = RunPackWith("PATH", tools.c_str(), CreateArguments(certificate.key), signalNumber, started);
        EXPECT_EQ(run.exitCode, 128 + signalNumber);
        usleep(1500 * 1000);
        EXPECT_EQ(ListTree(outDirectory), std::vector<std::string>{}) << "left behind";
    }
}

TEST_F(Signing, SigningOptionsGoTogether) {
    const std::vector<std::vector<std::string>> lines = {
        {"create", tree, "-o", output, "--sign-cert", certificate.certificate},
        {"create", tree, "-o", output, "--sign-key", certificate.key},
        {"create", tree, "-o", output, "--timestamp", "http://127.0.0.1:9/"},
        {"create", tree, "-o", output, "--sign-pass-file", keys + "/password.txt"},
        {"create", tree, "-o", output, "--sign-ca", certificate.certificate},
        {"list", output, "--sign-ca", certificate.certificate},
        {"verify", output, "--sign-cert", certificate.certificate},
    };
    for (const std::vector<std::string>& line : lines) {
        ProgramRun run = RunPack(line);
        EXPECT_EQ(run.exitCode, 2) << line[0] << " " << line[4] << ": " << run.err;
    }
    EXPECT_EQ(ListTree(outDirectory), std::vector<std::string>{});
}
