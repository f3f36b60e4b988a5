// When Windows asks for administrator rights, and when the installer's target
// or its temporary run needs them.
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

TEST(AdministratorRights, WarnedWhenNameAndTargetDisagree) {
    struct Case {
        const char* fileName;
        const char* target;
        bool temporaryRun;
        const char* words;   // null: no warning
    };
    const Case cases[] = {
        {"app-setup.exe", "C:\\Program Files\\App\\", false, nullptr},
        {"app.exe", "C:\\App\\", false, nullptr},
        {"app.exe", ".\\", false, nullptr},
        {"setup.exe", ".\\setup.tmp\\", true, nullptr},   // the rights let it write its extraction list
        {"app.exe", "C:\\Program Files\\App\\", false, "whose file name holds setup, install, update or patch"},
        {"app.exe", "C:\\", false, "name it so ('app-setup.exe'), or have it run as administrator"},
        {"app-setup.exe", ".\\", false, "\"This program might not have installed correctly\""},
        {"tool.exe", ".\\tool.tmp\\", true, "removes nothing after the run"},
    };
    for (const Case& c : cases) {
        std::string warning = AdministratorRightsWarning(c.fileName, c.target, c.temporaryRun);
        if (!c.words) EXPECT_EQ(warning, "") << c.fileName << " " << c.target;
        else EXPECT_NE(warning.find(c.words), std::string::npos) << c.words << " in: " << warning;
    }
}
