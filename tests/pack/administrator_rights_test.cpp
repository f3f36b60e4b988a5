// When Windows asks for administrator rights, and which targets need them
// (the warnings themselves: CliAdvice).
#include <gtest/gtest.h>

#include "pack/administrator_rights.h"

TEST(AdministratorRights, WordsOfTheNameAndFoldersOfTheTarget) {
    EXPECT_STREQ(ElevatingWord("App-Setup.exe"), "setup");
    EXPECT_STREQ(ElevatingWord("UNINSTALL.EXE"), "install");
    EXPECT_STREQ(ElevatingWord("tool_updater.exe"), "update");
    EXPECT_EQ(ElevatingWord("app.exe"), nullptr);
    for (const char* protectedTarget : {"C:\\Program Files\\App\\", "c:\\program files (x86)\\", "C:\\WINDOWS\\x\\",
                                        "D:\\", "C:\\Temp\\..\\Windows\\App\\"})
        EXPECT_TRUE(NeedsAdministratorRights(protectedTarget)) << protectedTarget;
    for (const char* open : {"C:\\App\\", "C:\\Program Files Extra\\", ".\\", "..\\Windows\\", "\\\\srv\\share\\"})
        EXPECT_FALSE(NeedsAdministratorRights(open)) << open;
}
