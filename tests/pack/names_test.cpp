// Names on their way from the host into an archive: what Windows refuses,
// what the installer refuses, code-page conversion and case folding.
#include <gtest/gtest.h>

#include "pack/code_page.h"
#include "pack/target_directory.h"
#include "pack/windows_names.h"

TEST(WindowsNames, RefusesWhatWindowsForbidsOrChanges) {
    EXPECT_EQ(WindowsNameProblem("readme.txt"), "");
    EXPECT_EQ(WindowsNameProblem("Ünïcode name (1)"), "");
    EXPECT_EQ(WindowsNameProblem("console.txt"), "");   // only the exact device names are reserved
    EXPECT_EQ(WindowsNameProblem("COM0"), "");
    for (const char* name : {"a<b", "a>b", "a:b", "a\"b", "a\\b", "a|b", "a?b", "a*b", "tab\there"})
        EXPECT_NE(WindowsNameProblem(name), "") << name;
    for (const char* name : {"trailing.", "trailing ", "CON", "con.txt", "Nul", "aux.tar.gz", "COM1", "lpt9.log"})
        EXPECT_NE(WindowsNameProblem(name), "") << name;
    EXPECT_NE(WindowsNameProblem(""), "");
}

TEST(WindowsNames, InstallerRuleForEntryNames) {
    for (const char* name : {"a.txt", "sub\\a.txt", "sub\\", "..a\\b..", "a\\.\\b", "", "...", "a/b"})
        EXPECT_TRUE(IsSafeEntryName(name)) << name;
    for (const char* name : {"..", "..\\x", "a\\..\\..\\x", "a/../b", "a\\..", "\\x", "/x", "C:x", "a\\b:stream"})
        EXPECT_FALSE(IsSafeEntryName(name)) << name;
}

TEST(WindowsNames, CaseFoldingMatchesNamesWindowsTakesAsOne) {
    EXPECT_EQ(CaseFoldedKey("Readme.TXT"), CaseFoldedKey("README.txt"));
    EXPECT_EQ(CaseFoldedKey("café"), CaseFoldedKey("CAFÉ"));
    EXPECT_NE(CaseFoldedKey("a.txt"), CaseFoldedKey("b.txt"));
    EXPECT_NE(CaseFoldedKey("cafe"), CaseFoldedKey("café"));
}

TEST(CodePage, ConvertsBothWaysAndRefusesWhatItLacks) {
    CodePage western;
    ASSERT_EQ(OpenCodePage("WINDOWS-1252", &western), "");
    std::string ansi, back;
    ASSERT_TRUE(ToCodePage(western, "café €", &ansi));
    EXPECT_EQ(ansi, "caf\xE9 \x80");
    ASSERT_TRUE(FromCodePage(western, ansi, &back));
    EXPECT_EQ(back, "café €");
    EXPECT_FALSE(ToCodePage(western, "日本", &ansi));
    EXPECT_FALSE(ToCodePage(western, "bad \xC3(", &ansi));   // not UTF-8
    CloseCodePage(&western);

    CodePage japanese;
    ASSERT_EQ(OpenCodePage("CP932", &japanese), "");
    ASSERT_TRUE(ToCodePage(japanese, "表", &ansi));
    EXPECT_EQ(ansi, "\x95\x5C");   // its second byte is a backslash to a byte-wise reader
    CloseCodePage(&japanese);
}

TEST(CodePage, RefusesUnknownAndAsciiChangingCodePages) {
    CodePage codePage;
    EXPECT_NE(OpenCodePage("NO-SUCH-CODE-PAGE", &codePage), "");
    EXPECT_NE(OpenCodePage("UTF-16LE", &codePage), "");
    EXPECT_NE(OpenCodePage("IBM037", &codePage), "");   // EBCDIC
    EXPECT_EQ(OpenCodePage("CP1251", &codePage), "");
    CloseCodePage(&codePage);
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

TEST(TargetDirectory, ChecksEachPart) {
    for (const char* good :
         {".\\", "C:\\", "C:\\Program Files\\App\\", "..\\out\\", "\\Apps\\", "\\\\server\\share\\x\\"})
        EXPECT_EQ(TargetDirectoryProblem(good), "") << good;
    for (const char* bad : {"C:/App/", "C:\\A\\\\B\\", "C:\\A?\\", "C:\\con\\", "C:\\dot.\\", "C:App\\", "D:\\x:y\\"})
        EXPECT_NE(TargetDirectoryProblem(bad), "") << bad;
}
