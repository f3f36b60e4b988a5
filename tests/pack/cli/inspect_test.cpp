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

// An entry stream of files ("name") and directories ("name\\"), each file
// holding its name; "$$$.$$$" holds the control file given, by default that
// of a temporary run.
Bytes EntryStream(const std::string& target, const std::vector<std::string>& names,
                  const std::string& controlFile = "\r\n\r\n\r\nC:\\run.exe\r\n") {
    std::string stream = target + '\0';
    for (const std::string& name : names) {
        bool directory = name.back() == '\\';
        std::string data = directory ? "" : name == "$$$.$$$" ? controlFile : name;
        uint32_t code = directory ? 0xFFFFFFFEu : (uint32_t)data.size();
        for (int shift = 0; shift < 32; shift += 8) stream += char(code >> shift);
        stream += name + '\0' + data;
    }
    return Stream(stream + "\xFF\xFF\xFF\xFF");
}

}   // namespace

TEST(CliInspect, DamagedInstallersAreRefusedWithTheReason) {
    Made made = MakeInstaller("damaged");
    ASSERT_GT(made.bytes.size(), STUB_SIZE + 40);
    struct Case {
        Bytes bytes;
        const char* words;
    };
    Bytes flipped = made.bytes;
    flipped[STUB_SIZE + 8] ^= 1;   // the header's CRC-32
    Bytes longer = made.bytes;
    longer.push_back(0);
    Bytes shorter(made.bytes.begin(), made.bytes.end() - 1);
    Bytes badStub = made.bytes;
    badStub[0] = 'X';
    Bytes claimsMore = made.bytes;   // the header claims 2 GiB that the block's own size field does not
    SetUint32At(&claimsMore, STUB_SIZE, 0x7FFFFFF0u);
    Bytes program = FakeStub();   // a program whose one section runs past the stub's bytes
    program[0x86] = 1;
    program[0x178 + 16 + 1] = 0x40;   // 0x4000 bytes of raw data at offset 0x400
    program[0x178 + 20 + 1] = 0x04;
    program.resize(0x4400, 'A');
    const Case cases[] = {
        {flipped, "CRC-32"},
        {longer, "1 bytes follow the stored block"},
        {shorter, "runs past the end of the file"},
        {Bytes(made.bytes.begin(), made.bytes.begin() + STUB_SIZE), "no archive"},
        {StoredInstaller(Stream(std::string(".\\\0\xFD\xFF\xFF\xFFx\0", 10))), "size code -3 is invalid"},
        {claimsMore, "the header says 2147483632"},
        {program,
         "(no archive after the installer stub): this is a Windows program whose sections run to offset 17408"},
    };
    for (const Case& c : cases) {
        WriteBytes(made.installer, c.bytes);
        for (const std::vector<std::string>& arguments : {std::vector<std::string>{"verify", made.installer},
                                                          {"list", made.installer},
                                                          {"extract", made.installer, made.scratch + "/out"}}) {
            const std::string& command = arguments[0];
            ProgramRun run = RunPack(arguments);
            EXPECT_EQ(run.exitCode, 1) << command << ": " << c.words;
            EXPECT_NE(run.err.find(made.installer + ": invalid installer: "), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(c.words), std::string::npos) << command << ": " << run.err;
            EXPECT_LT(run.peakKilobytes, 64 * 1024) << command << ": " << c.words;   // nothing allocated for the claim
        }
        EXPECT_FALSE(PathExists(made.scratch + "/out"));
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

// What verify accepts, extract extracts. Names that verify refuses, extract
// refuses too, before it writes anything: the installer would lose those
// entries silently; a target or control file that verify refuses changes
// nothing that extract writes.
TEST(CliInspect, VerifyAndExtractAgree) {
    Made made = MakeInstaller("agree");
    struct Case {
        std::string target;
        std::vector<std::string> names;
        const char* words;   // null: accepted
        bool extracts;
        std::string control = "\r\n\r\n\r\nC:\\run.exe\r\n";   // the control file's bytes
    };
    const std::string controlFile = "$$$.$$$";
    const Case cases[] = {
        {".\\", {"a\\b\\c.txt", "a\\b\\", "a\\", "d.txt"}, nullptr, true},
        {".\\", {"a", "a\\"}, "a directory of the same name as the file 'a'", false},
        {".\\", {"a\\", "a"}, "a file of the same name as the directory 'a'", false},
        {".\\", {"a", "a\\b"}, "its directory 'a' is a file", false},
        {".\\", {std::string(300, 'n')}, "300 characters long", false},
        {".\\", {"Read.me", "READ.ME"}, "same name as 'Read.me'", false},
        {".\\", {"AUX.txt"}, "device name", false},
        {"App\\", {"d.txt"}, "create writes '.\\App\\'", true},
        {".\\", {"d.txt", controlFile}, "it is the directory the installer is started in", true},
        {".\\sub\\..\\", {"d.txt", controlFile}, "it is the directory the installer is started in", true},
        {"..\\", {"d.txt", controlFile}, "it lies above or beside the directory the installer is started in", true},
        {"..\\x\\", {"d.txt", controlFile}, "it lies above or beside the directory the installer is started in", true},
        {"C:\\T\\",
         {"d.txt", controlFile},
         "command 'd.txt' is a relative path outside the target",
         true,
         "C:\\T\\d.txt\r\nD\r\n\r\nd.txt\r\n"},
    };
    for (const Case& c : cases) {
        WriteBytes(made.installer, StoredInstaller(EntryStream(c.target, c.names, c.control)));
        std::string out = made.scratch + "/out";
        ProgramRun verified = RunPack({"verify", made.installer}),
                   extracted = RunPack({"extract", made.installer, out});
        if (!c.words) {
            EXPECT_EQ(verified.exitCode, 0) << verified.err;
            EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
            EXPECT_EQ(ListTree(out), (std::vector<std::string>{"a/", "a/b/", "a/b/c.txt", "d.txt"}));
            RemoveTree(out);
            continue;
        }
        EXPECT_EQ(verified.exitCode, 1) << c.words;
        EXPECT_NE(verified.err.find(c.words), std::string::npos) << verified.err;
        EXPECT_EQ(extracted.exitCode, c.extracts ? 0 : 1) << c.words << ": " << extracted.err;
        EXPECT_EQ(extracted.err, c.extracts ? "" : verified.err);
        EXPECT_EQ(PathExists(out), c.extracts) << c.words;
        RemoveTree(out);
    }
    RemoveTree(made.scratch);
}

// Names and control values that would drive a terminal (ESC sequences, BEL, a
// C1 CSI) are printed escaped by every text output; create refuses such values.
TEST(CliInspect, ControlCharactersNeverReachTheTerminalRaw) {
    Made made = MakeInstaller("controls");
    const std::string csi = "\x9B";   // a C1 control in ISO-8859-1, undefined in WINDOWS-1252
    std::string control =
        "C:\\a\x1B]0;title\x07.exe\r\nname" + csi + "2J\r\nicon\x1B[31m\r\ncmd\x1B[2K\x1B[1Gharmless\r\n";
    WriteBytes(made.installer,
               StoredInstaller(EntryStream(
                   ".\\", {"esc\x1B[31mred.txt", "bell\x07.txt", "csi" + csi + "1A.txt", "$$$.$$$"}, control)));
    // The planted bytes, the C1 one also as UTF-8 (U+0080..U+009F).
    auto expectNoRawControl = [](const std::string& text, const std::string& context) {
        for (size_t at = 0; at < text.size(); ++at) {
            unsigned char byte = (unsigned char)text[at], next = at + 1 < text.size() ? (unsigned char)text[at + 1] : 0;
            bool c1 = byte == 0xC2 && next >= 0x80 && next <= 0x9F;
            EXPECT_FALSE((byte < 0x20 && byte != '\n') || byte == 0x7F || byte == 0x9B || c1)
                << context << ": byte " << (int)byte << " at " << at << " of: " << text;
        }
    };
    for (const char* codePage : {"WINDOWS-1252", "ISO-8859-1"})
        for (const char* command : {"list", "verify", "extract"}) {
            std::vector<std::string> arguments = {command, "--codepage", codePage, made.installer};
            if (std::string(command) == "extract") arguments.push_back(made.scratch + "/out-" + codePage);
            ProgramRun run = RunPack(arguments);
            EXPECT_NE(run.out + run.err, "") << command;
            expectNoRawControl(run.out + run.err, std::string(command) + " " + codePage);
        }
    ProgramRun listed = RunPack({"list", "--codepage", "ISO-8859-1", made.installer});
    EXPECT_NE(listed.out.find("esc\\x1b[31mred.txt"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("csi\\x9b1A.txt"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("then start 'cmd\\x1b[2K\\x1b[1Gharmless'"), std::string::npos) << listed.out;

    std::string tree = made.scratch + "/tree";
    for (const std::vector<std::string>& values : {std::vector<std::string>{"--temp-run", "cmd\x1B[2K.exe"},
                                                   {"--shortcut", "C:\\a.exe", "--name", "n\x07"},
                                                   {"--shortcut", "C:\\a.exe", "--name", "n\xC2\x9B"}}) {
        std::vector<std::string> arguments = {
            "create", tree, "-o", made.scratch + "/refused.exe", "--stub", made.scratch + "/stub.exe"};
        arguments.insert(arguments.end(), values.begin(), values.end());
        ProgramRun refused = RunPack(arguments);
        EXPECT_EQ(refused.exitCode, 1) << values.back();
        EXPECT_NE(refused.err.find("holds a control character"), std::string::npos) << refused.err;
        expectNoRawControl(refused.err, "create");
    }
    RemoveTree(made.scratch);
}

// What create refuses, verify fails, and what create warns about, verify
// repeats: one row each, a name in the tree, a target, or a temporary run's
// target, made by create and written by hand for verify.
TEST(CliInspect, CreateAndVerifyAgreeOnNamesAndTargets) {
    Made made = MakeInstaller("agree-create");
    enum Kind { NAME, TARGET, TEMPORARY_RUN_TARGET };
    struct Case {
        Kind kind;
        std::string input;   // UTF-8; a target with its trailing backslash
        int exitCode;
        const char* words;          // in both messages; null: none at all
        std::string stored;         // the name in WINDOWS-1252 when it differs
        bool windowsHasIt = true;   // sfxpack.exe under Wine cannot list the others from a Linux tree
    };
    const Case cases[] = {
        {NAME, "CONOUT$", 1, "a device name that Windows reserves", "", false},
        {NAME, "conin$.txt", 1, "a device name that Windows reserves", "", false},
        {NAME, "COM0.log", 1, "a device name that Windows reserves", "", false},
        {NAME, "lpt\xC2\xB9", 1, "a device name that Windows reserves", "lpt\xB9", false},
        {NAME, "COM10", 0, nullptr},
        {NAME, "LONGFI~1.TXT", 1, "is shaped like a short (8.3) name", "", false},
        {NAME, "quar~oqd.doc", 1, "the installer would write over it", "", false},
        {NAME, "my~file.tar.gz", 0, nullptr},
        {TARGET, "C:\\CONOUT$\\", 1, "a device name that Windows reserves"},
        {TARGET, "C:\\PROGRA~1\\App\\", 0, nullptr},   // a target only names where to extract
        {TARGET, "\\Apps\\", 0, "on whichever drive it is started from"},
        {TEMPORARY_RUN_TARGET, "\\", 1, "it is the root of a drive"},
        {TEMPORARY_RUN_TARGET, "\\x\\..\\", 1, "it is the root of a drive"},
        {TEMPORARY_RUN_TARGET, "C:\\", 1, "it is the root of a drive"},
        {TEMPORARY_RUN_TARGET, "\\Temp\\", 1, "on whichever drive the installer is started from"},
        {TEMPORARY_RUN_TARGET, "C:\\Temp\\", 0, nullptr},
    };
    std::string tree = made.scratch + "/tree", stub = made.scratch + "/stub.exe";
    for (const Case& c : cases) {
        // A temporary run named so that Windows gives it the rights to keep its list: no warning for that.
        bool temporaryRun = c.kind == TEMPORARY_RUN_TARGET;
        std::string name = c.kind == NAME ? c.input : "run.exe";
        std::string output = made.scratch + (temporaryRun ? "/setup.exe" : "/app.exe");
        std::vector<std::string> create = {"create", tree, "-o", output, "--stub", stub, "-q"};
        if (c.kind != NAME) create.insert(create.end(), {"--target", c.input});
        if (temporaryRun) create.insert(create.end(), {"--temp-run", "run.exe"});
        std::vector<std::string> names = {c.stored.empty() ? name : c.stored};
        if (temporaryRun) names.push_back("$$$.$$$");
        Bytes written = StoredInstaller(
            EntryStream(c.kind == NAME ? ".\\" : c.input, names, "\r\n\r\n\r\n" + c.input + "run.exe\r\n"));
        std::vector<std::pair<std::string, ProgramRun>> runs;
        if (c.windowsHasIt || !PackRunsUnderWine()) {
            RemoveTree(tree);
            mkdir(tree.c_str(), 0755);
            WriteFile(tree + "/" + name, "x");
            runs.push_back({"create", RunPack(create)});
            unlink(output.c_str());
        }
        WriteBytes(output, written);
        runs.push_back({"verify", RunPack({"verify", "-q", output})});
        for (const auto& run : runs) {
            EXPECT_EQ(run.second.exitCode, c.exitCode) << run.first << " " << c.input << ": " << run.second.err;
            if (c.words)
                EXPECT_NE(run.second.err.find(c.words), std::string::npos) << run.first << ": " << run.second.err;
            else EXPECT_EQ(run.second.err, "") << run.first << " " << c.input;
        }
    }
    RemoveTree(made.scratch);
}
