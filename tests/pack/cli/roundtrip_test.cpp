// The program as users run it: create, then list, verify and extract give the
// tree back byte for byte at every level; the same inputs give the same bytes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "../pack_testing.h"
#include "codec/levels.h"

namespace {

struct Sample {
    std::string scratch;
    std::string tree;
    std::string stub;
};

std::string Lines(size_t count) {
    std::string text;
    for (size_t line = 0; line < count; ++line) text += "line " + std::to_string(line % 97) + " of the sample\r\n";
    return text;
}

std::string Noise(size_t size, uint32_t seed) {
    std::string bytes(size, 0);
    for (char& byte : bytes) byte = char((seed = seed * 1103515245 + 12345) >> 23);
    return bytes;
}

// Files in the order given, so two trees can be written in different orders.
void FillTree(const std::string& tree, bool reversed) {
    std::vector<std::pair<std::string, std::string>> files = {
        {"readme.txt", "Hello.\r\n"}, {"app/data/table.bin", Lines(4000)},     {"app/noise.dat", Noise(30000, 7)},
        {"app/empty.txt", ""},        {"caf\xC3\xA9 menu.txt", "Men\xC3\xBC"}, {"app/data/deeper/x", "x"},
    };
    if (reversed) std::reverse(files.begin(), files.end());
    for (const char* directory : {"app", "app/data", "app/data/deeper", "app/empty dir"})
        mkdir((tree + "/" + directory).c_str(), 0755);
    for (const auto& file : files) WriteFile(tree + "/" + file.first, file.second);
}

Sample MakeSample(const std::string& label) {
    Sample sample;
    sample.scratch = MakeScratch(label);
    sample.tree = sample.scratch + "/tree";
    sample.stub = sample.scratch + "/stub.exe";
    mkdir(sample.tree.c_str(), 0755);
    FillTree(sample.tree, false);
    WriteBytes(sample.stub, FakeStub());
    return sample;
}

// The stub as it is in the installer, its checksum (made for the whole file) taken out.
Bytes StubPart(const Bytes& installer) {
    Bytes stub(installer.begin(), installer.begin() + STUB_SIZE);
    for (size_t at = FAKE_STUB_CHECKSUM; at < FAKE_STUB_CHECKSUM + 4; ++at) stub[at] = 0;
    return stub;
}

ProgramRun Create(const Sample& sample, const std::string& output, std::vector<std::string> options = {}) {
    std::vector<std::string> arguments = {"create", sample.tree, "-o", output, "--stub", sample.stub};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return RunPack(arguments);
}

}   // namespace

TEST(CliRoundTrip, EveryLevelGivesTheTreeBack) {
    Sample sample = MakeSample("roundtrip");
    for (const CompressionLevel& compression : CompressionLevels()) {
        const char* level = compression.name;
        std::string installer = sample.scratch + "/" + level + ".exe";
        ProgramRun created = Create(sample, installer, {"--level", level});
        ASSERT_EQ(created.exitCode, 0) << created.err;
        EXPECT_NE(created.out.find("6 files, 4 directories"), std::string::npos) << created.out;
        EXPECT_EQ(created.err.find('\r'), std::string::npos);   // no progress bar when standard error is not a terminal

        Bytes bytes = ReadBytes(installer);
        ASSERT_GT(bytes.size(), STUB_SIZE);
        EXPECT_EQ(StubPart(bytes), FakeStub());
        EXPECT_EQ(Uint32At(bytes, FAKE_STUB_CHECKSUM), PeChecksumOf(bytes, FAKE_STUB_CHECKSUM)) << level;

        ProgramRun verified = RunPack({"verify", installer});
        EXPECT_EQ(verified.exitCode, 0) << verified.err;
        EXPECT_NE(verified.out.find("valid installer: 6 files, 4 directories, target .\\"), std::string::npos)
            << verified.out;
        std::string repeated;   // verify repeats create's warnings, each naming the installer
        for (size_t at = 0; (at = created.err.find("warning: ", at)) != std::string::npos; at += 9)
            repeated += "sfxpack: warning: " + installer + ": " +
                        created.err.substr(at + 9, created.err.find('\n', at) + 1 - at - 9);
        EXPECT_NE(repeated, "");   // a name outside ASCII
        EXPECT_EQ(verified.err, repeated);

        ProgramRun listed = RunPack({"list", installer});
        EXPECT_EQ(listed.exitCode, 0);
        for (const char* line :
             {"target: .\\", "       <dir>  app\\", "       <dir>  app\\empty dir\\", "           0  app\\empty.txt",
              "       30000  app\\noise.dat", "           5  caf\xC3\xA9 menu.txt"})
            EXPECT_NE(listed.out.find(line), std::string::npos) << line << "\n" << listed.out;

        std::string extracted = sample.scratch + "/out-" + level;
        ProgramRun unpacked = RunPack({"extract", installer, extracted});
        ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
        EXPECT_EQ(CompareTrees(sample.tree, extracted), "") << level;
    }
    RemoveTree(sample.scratch);
}

TEST(CliRoundTrip, SameInputsGiveTheSameBytes) {
    Sample sample = MakeSample("reproducible");
    std::string other = sample.scratch + "/other";
    mkdir(other.c_str(), 0755);
    FillTree(other, true);   // the same tree, its files made in the other order
    for (const CompressionLevel& compression : CompressionLevels()) {
        const char* level = compression.name;
        std::string first = sample.scratch + "/first.exe", second = sample.scratch + "/second.exe";
        ASSERT_EQ(Create(sample, first, {"--level", level}).exitCode, 0);
        ASSERT_EQ(RunPack({"create", other, "-o", second, "--stub", sample.stub, "--level", level}).exitCode, 0);
        EXPECT_EQ(ReadBytes(first), ReadBytes(second)) << level;
    }
    RemoveTree(sample.scratch);
}

TEST(CliRoundTrip, ControlFileTravelsAsTheLastEntry) {
    Sample sample = MakeSample("control");
    std::string installer = sample.scratch + "/setup.exe";
    ProgramRun created = Create(sample, installer,
                                {"--target", "C:\\Sample", "--shortcut", "C:\\Sample\\readme.txt", "--name",
                                 "Sample readme", "--run", "readme.txt"});
    ASSERT_EQ(created.exitCode, 0) << created.err;
    EXPECT_EQ(created.err.find("not packed"), std::string::npos) << created.err;   // the shortcut's program is packed
    ProgramRun listed = RunPack({"list", installer});
    EXPECT_NE(listed.out.find("target: C:\\Sample\\\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("          61  $$$.$$$\ncontrol file: desktop shortcut 'Sample readme' to "
                              "'C:\\Sample\\readme.txt', icon '', then start 'C:\\Sample\\readme.txt'"),
              std::string::npos)
        << listed.out;
    std::string extracted = sample.scratch + "/out";
    ASSERT_EQ(RunPack({"extract", installer, extracted}).exitCode, 0);
    Bytes control = ReadBytes(extracted + "/$$$.$$$");
    EXPECT_EQ(std::string(control.begin(), control.end()),
              "C:\\Sample\\readme.txt\r\nSample readme\r\n\r\nC:\\Sample\\readme.txt\r\n");

    // A temporary run goes into a new directory named after the output, where
    // its relative command is; the directory the installer starts in is refused.
    ASSERT_EQ(Create(sample, installer, {"--temp-run", "\"app\\tool.exe\" /s"}).exitCode, 0);
    listed = RunPack({"list", installer});
    EXPECT_NE(listed.out.find("target: .\\setup.tmp\\\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("control file: temporary run of '\".\\setup.tmp\\app\\tool.exe\" /s'"), std::string::npos)
        << listed.out;
    // So is one above or beside it, however spelled.
    for (const char* target : {".", ".\\sub\\..", "..", "..\\x"}) {
        ProgramRun refused = Create(sample, installer, {"--temp-run", "app\\tool.exe", "--target", target});
        EXPECT_EQ(refused.exitCode, 1) << target;
        EXPECT_NE(refused.err.find("' with a temporary run: it "), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find(" the directory the installer is started in, among the user's own files"),
                  std::string::npos)
            << refused.err;
    }
    RemoveTree(sample.scratch);
}

TEST(CliRoundTrip, ExtractThenCreateGivesTheSameInstaller) {
    Sample sample = MakeSample("again");
    std::string first = sample.scratch + "/first.exe", second = sample.scratch + "/second.exe";
    std::string folder = sample.scratch + "/folder";
    ASSERT_EQ(Create(sample, first, {"--target", "C:\\Sample", "--shortcut", "C:\\Sample\\readme.txt", "--name", "S"})
                  .exitCode,
              0);
    ProgramRun extracted = RunPack({"extract", first, folder});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_NE(extracted.out.find("give create --target 'C:\\Sample\\' to keep it"), std::string::npos) << extracted.out;
    ProgramRun again =
        RunPack({"create", folder, "-o", second, "--stub", sample.stub, "--target", "C:\\Sample\\", "--quiet"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(ReadBytes(second), ReadBytes(first));
    // With a control option, the folder's control file is one too many; one the
    // installer would not read as meant is refused.
    ProgramRun refused = RunPack({"create", folder, "-o", second, "--stub", sample.stub, "--temp-run", "x.exe"});
    EXPECT_NE(refused.err.find("$$$.$$$: the installer takes a top-level $$$.$$$ for its control file"),
              std::string::npos)
        << refused.err;
    WriteFile(folder + "/$$$.$$$", "C:\\a.exe\r\nsay \"hi\"\r\n");
    refused = RunPack({"create", folder, "-o", second, "--stub", sample.stub});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("double quote"), std::string::npos) << refused.err;
    RemoveTree(sample.scratch);
}

// Installers that work but not as meant are made, with a warning that
// --quiet leaves on.
TEST(CliRoundTrip, ControlMistakesAreWarnedAboutEvenQuietly) {
    Sample sample = MakeSample("warnings");
    struct Case {
        std::vector<std::string> options;
        const char* warning;
    };
    const Case cases[] = {
        {{"--target", "C:\\Sample", "--shortcut", "C:\\Sample\\missing.exe", "--name", "Sample"},
         "--shortcut 'C:\\Sample\\missing.exe' lies in the target directory but is not packed"},
        {{"--shortcut", "readme.txt", "--name", "Sample"}, "--shortcut 'readme.txt' is not an absolute path"},
        {{"--shortcut", "C:\\S\\a.exe", "--name", "S", "--run", "tool.exe"},
         "--run 'tool.exe' ('.\\tool.exe') lies in the target directory but is not packed"},
        {{"--temp-run", "\"bin\\missing.exe\" /s"},
         "('.\\setup.tmp\\bin\\missing.exe') lies in the target directory but is not packed"},
        {{"--shortcut", "C:/S/a.exe", "--name", "S"}, "--shortcut 'C:/S/a.exe' holds '/'"},
        {{"--target", "%ProgramFiles%\\S"}, "holds '%', but the installer expands no variables"},
        {{"--temp-run", "readme.txt"},
         "temporary run: 'app\\data\\' lies in another packed directory, so 'app\\' and the target directory stay"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> options = c.options;
        options.push_back("-q");
        ProgramRun created = Create(sample, sample.scratch + "/setup.exe", options);
        EXPECT_EQ(created.exitCode, 0) << created.err;
        EXPECT_NE(created.err.find(c.warning), std::string::npos) << c.warning << "\n" << created.err;
    }
    RemoveTree(sample.scratch);
}

TEST(CliRoundTrip, TargetAndNamesInTheChosenCodePage) {
    Sample sample = MakeSample("codepage");
    WriteFile(sample.tree + "/\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt", "hi");   // Cyrillic
    std::string installer = sample.scratch + "/setup.exe";
    ProgramRun refused = Create(sample, installer);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("cannot be written in code page WINDOWS-1252"), std::string::npos) << refused.err;
    // caf\xC3\xA9 has no place in 1251 either: take it out.
    unlink((sample.tree + "/caf\xC3\xA9 menu.txt").c_str());
    ASSERT_EQ(Create(sample, installer, {"--codepage", "CP1251", "--target", "C:\\\xD0\x9F"}).exitCode, 0);
    ProgramRun listed = RunPack({"list", "--codepage", "CP1251", installer});
    EXPECT_NE(listed.out.find("target: C:\\\xD0\x9F\\"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"), std::string::npos);
    ProgramRun listedWestern = RunPack({"list", installer});   // the same bytes read as 1252
    EXPECT_EQ(listedWestern.out.find("\xD0\xBF\xD1\x80"), std::string::npos);
    ASSERT_EQ(RunPack({"extract", "--codepage", "CP1251", installer, sample.scratch + "/out"}).exitCode, 0);
    EXPECT_EQ(CompareTrees(sample.tree, sample.scratch + "/out"), "");
    RemoveTree(sample.scratch);
}

// Without --stub: the installed layout's stub (<prefix>/share/sfx) wins over
// the one beside the program; with neither, the message names both and --stub.
TEST(CliRoundTrip, DefaultStubIsFoundFromTheProgram) {
    Sample sample = MakeSample("default-stub");
    std::string bin = sample.scratch + "/prefix/bin", installed = sample.scratch + "/prefix/share/sfx";
    for (const char* directory : {"/prefix", "/prefix/bin", "/prefix/share", "/prefix/share/sfx"})
        mkdir((sample.scratch + directory).c_str(), 0755);
    std::string copy = bin + "/sfxpack" + (PackRunsUnderWine() ? ".exe" : "");
    ASSERT_EQ(RunProgram("/bin/cp", {PackProgram(), copy}).exitCode, 0);
    std::string installer = sample.scratch + "/setup.exe";
    struct Layout {
        bool installedStub, besideStub;
        uint8_t expectedMark;   // 0: no stub found
    };
    for (const Layout& layout : {Layout{true, true, 1}, Layout{false, true, 2}, Layout{false, false, 0}}) {
        SCOPED_TRACE(std::to_string(layout.installedStub) + std::to_string(layout.besideStub));
        for (std::string path : {installed + "/sfxstub.exe", bin + "/sfxstub.exe"}) unlink(path.c_str());
        Bytes stub = FakeStub();
        stub[0x40] = 1;   // tell the two apart, and from the stand-in used elsewhere
        if (layout.installedStub) WriteBytes(installed + "/sfxstub.exe", stub);
        stub[0x40] = 2;
        if (layout.besideStub) WriteBytes(bin + "/sfxstub.exe", stub);
        unlink(installer.c_str());
        ProgramRun created = RunProgram(copy, {"create", sample.tree, "-o", installer, "--quiet"});
        if (!layout.expectedMark) {
            EXPECT_EQ(created.exitCode, 1);
            EXPECT_EQ(created.err, "sfxpack: no installer stub at " +
                                       PathAsTheProgramSeesIt(installed + "/sfxstub.exe") + " or " +
                                       PathAsTheProgramSeesIt(bin + "/sfxstub.exe") + "; name one with --stub PATH\n");
            EXPECT_FALSE(PathExists(installer));
            continue;
        }
        ASSERT_EQ(created.exitCode, 0) << created.err;
        EXPECT_EQ(created.out, "");
        EXPECT_EQ(ReadBytes(installer).at(0x40), layout.expectedMark);
    }
    RemoveTree(sample.scratch);
}

TEST(CliRoundTrip, OutputInsideTheTreeIsNotPackedAgain) {
    Sample sample = MakeSample("inside");
    std::string installer = sample.tree + "/setup.exe";
    ASSERT_EQ(Create(sample, installer).exitCode, 0);
    Bytes first = ReadBytes(installer);
    ASSERT_EQ(Create(sample, installer).exitCode, 0);
    EXPECT_EQ(ReadBytes(installer), first);
    RemoveTree(sample.scratch);
}

TEST(CliRoundTrip, InterruptedCreateLeavesNoFile) {
    Sample sample = MakeSample("interrupt");
    std::string large;
    while (large.size() < 4000000) large += Noise(64, (uint32_t)large.size()) + Lines(3);
    WriteFile(sample.tree + "/large.bin", large);
    std::string out = sample.scratch + "/out";
    mkdir(out.c_str(), 0755);
    // Wine makes SIGINT a Ctrl-C, and Windows knows no termination that a program can catch.
    std::vector<int> signalNumbers = PackRunsUnderWine() ? std::vector<int>{SIGINT} : std::vector<int>{SIGINT, SIGTERM};
    for (int signalNumber : signalNumbers) {
        // The signal comes once the temporary file is there, before the compression it waits for.
        ProgramRun run =
            RunProgram(PackProgram(), {"create", sample.tree, "-o", out + "/setup.exe", "--stub", sample.stub}, 0,
                       signalNumber, out);
        // Under Wine, the low byte of STATUS_CONTROL_C_EXIT.
        EXPECT_EQ(run.exitCode, PackRunsUnderWine() ? 0x3A : 128 + signalNumber);
        EXPECT_TRUE(ListTree(out).empty());
    }
    RemoveTree(sample.scratch);
}

// In a terminal of 60 columns (under script, which gives the program one),
// every redraw of the bar fits: a bar that wraps fills the screen with copies.
TEST(CliRoundTrip, ProgressBarFitsANarrowTerminal) {
    Sample sample = MakeSample("progress");
    std::string text;
    for (uint32_t seed = 1; text.size() < 500000; ++seed) text += Noise(40, seed) + Lines(2);
    WriteFile(sample.tree + "/large.txt", text);
    std::string call = "stty cols 60; exec " + std::string(SFXPACK_PATH) + " create " + sample.tree + " -o " +
                       sample.scratch + "/setup.exe --stub " + sample.stub + " --level best";
    ProgramRun run = RunProgram("/usr/bin/script", {"-qec", call, "/dev/null"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    size_t bars = 0;
    for (size_t start = 0, end; (end = run.out.find("\033[K", start)) != std::string::npos; start = end + 3) {
        std::string line = run.out.substr(start, end - start);
        line = line.substr(line.find_last_of("\r\n") + 1);
        if (line.empty()) continue;   // the bar cleared
        ++bars;
        EXPECT_LE(line.size(), 60u) << line;
        EXPECT_NE(line.find(" left"), std::string::npos) << line;
    }
    EXPECT_GT(bars, 0u) << run.out;
    RemoveTree(sample.scratch);
}

// Elsewhere than on a terminal (a CI log; here a pipe, or under Wine a file):
// one plain line at each tenth of each phase over 8 MiB, and no carriage
// return; --quiet shows none.
TEST(CliRoundTrip, ProgressLinesInALog) {
    Sample sample = MakeSample("lines");
    std::string text;
    for (uint32_t seed = 1; text.size() < (9u << 20); ++seed) text += Noise(40, seed) + Lines(20);
    WriteFile(sample.tree + "/large.txt", text);
    for (bool quiet : {false, true}) {
        std::vector<std::string> create = {"create", sample.tree, "-o",      sample.scratch + "/setup.exe",
                                           "--stub", sample.stub, "--level", "fast"};
        if (quiet) create.push_back("-q");
        std::string log;
        if (PackRunsUnderWine()) {
            log = RunPack(create).err;
        } else {
            create.insert(create.begin(), {"-c", "\"$@\" 2>&1 | cat", "sh", SFXPACK_PATH});
            log = RunProgram("/bin/sh", create).out;
        }
        EXPECT_EQ(log.find('\r'), std::string::npos) << log;
        for (const char* phase : {"reading", "compressing"})
            for (int percent = 10; percent <= 100; percent += 10) {
                std::string line = std::string("sfxpack: ") + phase + " " + std::to_string(percent) + "% of ";
                size_t first = log.find(line);
                EXPECT_EQ(first == std::string::npos, quiet) << line << " in:\n" << log;
                if (!quiet) EXPECT_EQ(log.find(line, first + 1), std::string::npos) << line << " twice in:\n" << log;
            }
    }
    RemoveTree(sample.scratch);
}

// Every command under AddressSanitizer, LeakSanitizer and UndefinedBehavior-
// Sanitizer: no leak (every code page closed), no fault, the same exit codes.
TEST(CliRoundTrip, SanitizedBuildFindsNothing) {
    Sample sample = MakeSample("sanitized");
    std::string installer = sample.scratch + "/setup.exe", out = sample.scratch + "/out";
    const std::vector<std::vector<std::string>> runs = {
        {"create", sample.tree, "-o", installer, "--stub", sample.stub, "--level", "fast", "--temp-run", "app\\x.exe"},
        {"list", installer},
        {"list", "--json", installer},
        {"verify", installer},
        {"verify", "--json", installer},
        {"extract", installer, out},
        {"verify", sample.stub},
    };
    for (const std::vector<std::string>& arguments : runs) {
        ProgramRun run = RunProgram(SFXPACK_SANITIZED_PATH, arguments);
        EXPECT_EQ(run.exitCode, &arguments == &runs.back() ? 1 : 0) << arguments[0] << ": " << run.err;
        EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << arguments[0] << ": " << run.err;
    }
    RemoveTree(sample.scratch);
}
