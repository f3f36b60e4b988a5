// Names on their way from the host into an archive: what Windows refuses,
// what the installer refuses, code-page conversion and case folding.
#include <gtest/gtest.h>

#include "format/installer_format.h"
#include "pack/installer/control_file.h"
#include "pack/names/code_page.h"
#include "pack/names/entry_rules.h"
#include "pack/names/target_directory.h"
#include "pack/names/windows_names.h"

TEST(WindowsNames, RefusesWhatWindowsForbidsOrChanges) {
    EXPECT_EQ(WindowsNameProblem("readme.txt").text, "");
    EXPECT_EQ(WindowsNameProblem("Ünïcode name (1)").text, "");
    for (const char* name : {"console.txt", "COM10", "LPTx", "com\xC2\xB9\xC2\xB9", "CONOUT", "conin$x"})
        EXPECT_EQ(WindowsNameProblem(name).text, "") << name;   // only the exact device names are reserved
    for (const char* name : {"a<b", "a>b", "a:b", "a\"b", "a\\b", "a|b", "a?b", "a*b", "tab\there"})
        EXPECT_NE(WindowsNameProblem(name).text, "") << name;
    for (const char* name : {"trailing.", "trailing ", "CON", "con.txt", "Nul", "aux.tar.gz", "COM1", "lpt9.log",
                             "COM0", "lpt0.txt", "CONIN$", "conout$.log", "COM\xC2\xB9", "lpt\xC2\xB3.txt", "CON .txt"})
        EXPECT_NE(WindowsNameProblem(name).text, "") << name;
    // Another file's short name, which the installer would write over.
    for (const char* name : {"LONGFI~1.TXT", "quar~oqd.doc", "REPORT~1", "~", "a.~b", "\xC3\xA9t\xC3\xA9~1.txt"})
        EXPECT_NE(ShortNameProblem(name).text.find("short (8.3) name"), std::string::npos) << name;
    for (const char* name : {"readme.txt", "report~12.txt", "a~b.html", "my~file.tar.gz", "~$report doc.docx"})
        EXPECT_EQ(ShortNameProblem(name).text, "") << name;
    EXPECT_NE(WindowsNameProblem("").text, "");
}

TEST(WindowsNames, InstallerRuleForEntryNames) {
    for (const char* name : {"a.txt", "sub\\a.txt", "sub\\", "..a\\b", ".hidden", "", "a/b"})
        EXPECT_TRUE(IsSafeEntryName(name)) << name;
    for (const char* name : {"..", "..\\x", "a\\..\\..\\x", "a/../b", "a\\..", "\\x", "/x", "C:x", "a\\b:stream", ".",
                             ".\\", "sub\\.. ", "a. ", "a\\.\\b", "...", "b..\\c"})
        EXPECT_FALSE(IsSafeEntryName(name)) << name;
}

// Entries in order, the last one breaking the rule with these words (none: all pass).
TEST(EntryRules, OneSetForTheWalkAndForVerify) {
    struct Case {
        std::vector<std::pair<std::string, bool>> entries;   // name, is a directory
        const char* words;
    };
    const std::string longName(256, 'n');
    const Case cases[] = {
        {{{"a\\", true}, {"a\\b.txt", false}, {"c", false}}, nullptr},
        {{{"a\\b\\c.txt", false}, {"a\\b\\", true}, {"a\\", true}}, nullptr},   // directories after their files
        {{{"a", false}, {"a\\", true}}, "a directory of the same name as the file 'a'"},
        {{{"a\\", true}, {"a", false}}, "a file of the same name as the directory 'a'"},
        {{{"a\\x", false}, {"A", false}}, "a file of the same name as the directory 'a'"},
        {{{"a", false}, {"a\\x", false}}, "its directory 'a' is a file"},
        {{{"Read.me", false}, {"READ.ME", false}}, "same name as 'Read.me'"},
        {{{"Dir\\", true}, {"dir\\x", false}}, "'dir' is the same name as 'Dir'"},
        {{{"x", false}, {"x", false}}, "a second entry of this name"},
        {{{longName, false}}, "256 characters long; Windows allows 255"},
        {{{std::string(150, 'd') + "\\" + std::string(150, 'f'), false}}, "303 characters long; Windows allows 259"},
        {{{"con\\", true}}, "device name"},
        {{{"a\\\\b", false}}, "empty name"},
        {{{"tab\tname", false}}, "control character"},
        {{{"a/b", false}}, "holds '/'"},
        {{{"sub\\.. ", false}}, "installer refuses the name"},
        {{{"$$$ikona.VBS", false}}, nullptr},   // the installer writes no script of its own
    };
    CodePage western;
    ASSERT_EQ(OpenCodePage("WINDOWS-1252", &western).text, "");
    for (const Case& c : cases) {
        EntryRules rules;
        rules.codePage = &western;
        rules.target = ".\\";
        rules.controlFile = true;
        std::string problem;
        for (size_t index = 0; index < c.entries.size() && problem.empty(); ++index)
            problem = EntryRuleProblem(&rules, c.entries[index].first, c.entries[index].second).text;
        if (!c.words) EXPECT_EQ(problem, "") << c.entries.back().first;
        else EXPECT_NE(problem.find(c.words), std::string::npos) << c.words << ": " << problem;
    }
    CloseCodePage(&western);
    CodePage japanese;   // its second byte is a backslash to the installer, which would split the name there
    ASSERT_EQ(OpenCodePage("CP932", &japanese).text, "");
    EntryRules rules;
    rules.codePage = &japanese;
    rules.target = ".\\";
    EXPECT_NE(EntryRuleProblem(&rules, "\x95\\a.txt", false).text.find("takes for a separator"), std::string::npos);
    CloseCodePage(&japanese);
}

TEST(WindowsNames, CaseFoldingMatchesNamesWindowsTakesAsOne) {
    EXPECT_EQ(CaseFoldedKey("Readme.TXT"), CaseFoldedKey("README.txt"));
    EXPECT_EQ(CaseFoldedKey("café"), CaseFoldedKey("CAFÉ"));
    EXPECT_NE(CaseFoldedKey("a.txt"), CaseFoldedKey("b.txt"));
    EXPECT_NE(CaseFoldedKey("cafe"), CaseFoldedKey("café"));
}

TEST(CodePage, ConvertsBothWaysAndRefusesWhatItLacks) {
    CodePage western;
    ASSERT_EQ(OpenCodePage("WINDOWS-1252", &western).text, "");
    EXPECT_EQ(ToCodePage(western, "café €"), "caf\xE9 \x80");
    EXPECT_EQ(FromCodePage(western, "caf\xE9 \x80"), "café €");
    EXPECT_EQ(ToCodePage(western, "日本"), std::nullopt);
    EXPECT_EQ(ToCodePage(western, "bad \xC3("), std::nullopt);   // not UTF-8
    CloseCodePage(&western);

    CodePage japanese;
    ASSERT_EQ(OpenCodePage("CP932", &japanese).text, "");
    EXPECT_EQ(ToCodePage(japanese, "表"), "\x95\x5C");   // its second byte is a backslash to a byte-wise reader
    CloseCodePage(&japanese);
}

TEST(CodePage, RefusesUnknownAndAsciiChangingCodePages) {
    CodePage codePage;
    EXPECT_NE(OpenCodePage("NO-SUCH-CODE-PAGE", &codePage).text, "");
    EXPECT_NE(OpenCodePage("IBM037", &codePage).text, "");   // EBCDIC
    // Never an ANSI code page, in any spelling, with a byte order mark or without.
    for (const char* wide : {"UTF-16", "utf16", "UTF-16LE", "UCS-2", "UTF-32", "UTF-32BE", "UCS-4"})
        EXPECT_NE(OpenCodePage(wide, &codePage).text.find("no Windows uses as its ANSI code page"), std::string::npos)
            << wide;
    EXPECT_EQ(OpenCodePage("CP1251", &codePage).text, "");
    EXPECT_FALSE(IsUtf8CodePage(codePage));
    for (const char* utf8 : {"UTF-8", "utf8"}) {
        ASSERT_EQ(OpenCodePage(utf8, &codePage).text, "");
        EXPECT_TRUE(IsUtf8CodePage(codePage)) << utf8;
    }
    CloseCodePage(&codePage);
}

TEST(CodePage, TerminalTextEscapesEveryControlCharacter) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Caf\xC3\xA9\\a b.txt", "C:\\Caf\xC3\xA9\\a b.txt"},
        {"\x1B[2K\rcmd\a", "\\x1b[2K\\x0dcmd\\x07"},
        {"tab\there\x7F", "tab\\x09here\\x7f"},
        {"csi\xC2\x9B"
         "31m",
         "csi\\x9b"
         "31m"},                                            // U+009B, a C1 control
        {"raw\x9B\xE9", "raw\\x9b\\xe9"},                   // not UTF-8
        {"\xC2\xA0\xE2\x82\xAC", "\xC2\xA0\xE2\x82\xAC"},   // U+00A0 and the euro sign are no controls
    };
    for (const auto& c : cases) EXPECT_EQ(TerminalText(c.first), c.second) << c.first;
    CodePage latin;
    ASSERT_EQ(OpenCodePage("ISO-8859-1", &latin).text, "");
    EXPECT_EQ(TerminalText(PrintableText(latin, "a\x9B"
                                                "b")),
              "a\\x9bb");   // the code page's C1 control
    CloseCodePage(&latin);
}

TEST(TargetDirectory, NormalizedSoTheInstallerCreatesIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\App", "C:\\App\\"},
        {".\\", ".\\"},
        {".", ".\\"},
        {"App", ".\\App\\"},
        {"App\\Sub\\", ".\\App\\Sub\\"},
        {"..\\x", "..\\x\\"},
        {"\\Apps", "\\Apps\\"},
        {"\\\\srv\\share", "\\\\srv\\share\\"},
        {"C:App", "C:App\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormalizedTarget(c.first), c.second) << c.first;
}

TEST(TargetDirectory, TemporaryRunInANewDirectoryWithItsCommandThere) {
    EXPECT_EQ(TemporaryRunTarget("dist/setup.exe"), ".\\setup.tmp\\");
    EXPECT_EQ(TemporaryRunTarget("tool"), ".\\tool.tmp\\");
    // Its own folder, or one above or beside it, however spelled: "." and ".." resolved first.
    const std::pair<const char*, const char*> resolved[] = {
        {".\\", ".\\"},
        {".\\.\\", ".\\"},
        {".\\\\", ".\\"},
        {".\\sub\\..\\", ".\\"},
        {"..\\", "..\\"},
        {"..\\x\\", "..\\x\\"},
        {".\\a\\..\\..\\b\\", "..\\b\\"},
        {"..\\x\\..\\..\\", "..\\..\\"},
    };
    for (const auto& c : resolved) {
        EXPECT_EQ(ResolvedTarget(c.first), c.second) << c.first;
        EXPECT_NE(TemporaryRunTargetProblem(c.first).text, "") << c.first;
    }
    // A drive's root, or any folder on whichever drive the installer runs from.
    for (const char* root : {"\\", "\\x\\..\\", "C:\\", "c:\\a\\..\\", "\\Temp\\", "\\\\srv\\share\\"})
        EXPECT_NE(TemporaryRunTargetProblem(root).text, "") << root;
    for (const char* below :
         {".\\setup.tmp\\", ".\\a\\..\\b\\", "C:\\Temp\\", "C:\\..\\x\\", "\\\\srv\\share\\..\\x\\"})
        EXPECT_EQ(TemporaryRunTargetProblem(below).text, "") << below;
    EXPECT_EQ(ResolvedTarget("C:\\..\\x\\"), "C:\\x\\");   // a root has nothing above it
    EXPECT_EQ(ResolvedTarget("\\\\srv\\share\\..\\x\\"), "\\\\srv\\share\\x\\");
    const std::pair<const char*, const char*> commands[] = {
        {"setup2.exe", ".\\t\\setup2.exe"},
        {"\"bin\\tool.exe\" /s", "\".\\t\\bin\\tool.exe\" /s"},
        {"C:\\Tools\\x.exe", "C:\\Tools\\x.exe"},
        {"\"C:\\Program Files\\x.exe\" /s", "\"C:\\Program Files\\x.exe\" /s"},
        {"\\\\server\\x.exe", "\\\\server\\x.exe"},
    };
    for (const auto& command : commands) EXPECT_EQ(CommandInTarget(command.first, ".\\t\\"), command.second);
}

TEST(TargetDirectory, ChecksEachPart) {
    for (const char* good :
         {".\\", "C:\\", "C:\\Program Files\\App\\", "..\\out\\", "\\Apps\\", "\\\\server\\share\\x\\"})
        EXPECT_EQ(TargetDirectoryProblem(good).text, "") << good;
    for (const char* bad : {"C:/App/", "C:\\A\\\\B\\", "C:\\A?\\", "C:\\con\\", "C:\\dot.\\", "C:App\\", "D:\\x:y\\"})
        EXPECT_NE(TargetDirectoryProblem(bad).text, "") << bad;
}
