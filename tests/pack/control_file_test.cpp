// The control file: which values are refused, the bytes written, and reading
// them back as the installer does.
#include <gtest/gtest.h>

#include "pack/installer/control_file.h"

static ControlValues Shortcut(const std::string& program, const std::string& name, const std::string& icon = "",
                              const std::string& command = "") {
    ControlValues values;
    values.mode = CONTROL_SHORTCUT;
    values.program = program;
    values.name = name;
    values.icon = icon;
    values.command = command;
    return values;
}

static ControlValues TemporaryRun(const std::string& command) {
    ControlValues values;
    values.mode = CONTROL_TEMP_RUN;
    values.command = command;
    return values;
}

TEST(ControlFile, RefusesValuesThatWouldNotArriveAsGiven) {
    EXPECT_EQ(ControlValuesProblem(Shortcut("C:\\App\\app.exe", "My App", "C:\\App\\app.exe", "readme.txt")).text, "");
    EXPECT_EQ(ControlValuesProblem(TemporaryRun("setup2.exe")).text, "");
    // The command is not pasted into the script: quotes give it arguments.
    EXPECT_EQ(ControlValuesProblem(TemporaryRun("\"C:\\Program Files\\T\\t.exe\" /s")).text, "");
    EXPECT_EQ(ControlValuesProblem(Shortcut("C:\\a.exe", "n", "", "\"C:\\a.exe\" /welcome")).text, "");
    EXPECT_EQ(ControlValuesProblem(ControlValues()).text, "");

    const ControlValues refused[] = {
        Shortcut("C:\\App\\\"app\".exe", "n"),
        Shortcut("C:\\a.exe", "say \"hi\""),
        Shortcut("C:\\a.exe", "n", "i\"co"),
        Shortcut("C:\\a.exe", "two\nlines"),
        Shortcut("C:\\a.exe", "n", "a\rb"),
        Shortcut(" C:\\a.exe", "n"),
        Shortcut("C:\\a.exe ", "n"),
        Shortcut("C:\\a.exe", " n"),
        Shortcut("", "n"),
        Shortcut("C:\\a.exe", ""),
        Shortcut("C:\\a.exe", "a/b"),
        Shortcut("C:\\a.exe", "CON"),
        TemporaryRun(""),
        TemporaryRun("x\r\ny"),
        TemporaryRun(" x"),
        // Control characters, which a terminal would act on when the value is shown.
        Shortcut("C:\\a.exe", "n\x1B[2K"),
        Shortcut("C:\\a.exe", "n", "i\x07"),
        Shortcut("C:\\a\tb.exe", "n"),
        TemporaryRun("cmd\xC2\x9B"
                     "2K.exe"),
    };
    for (const ControlValues& values : refused)
        EXPECT_NE(ControlValuesProblem(values).text, "")
            << values.program << "|" << values.name << "|" << values.command;
}

TEST(ControlFile, FourCrLfLinesInTheCodePage) {
    CodePage western;
    ASSERT_EQ(OpenCodePage("WINDOWS-1252", &western).text, "");
    std::string bytes;
    ASSERT_EQ(MakeControlFile(Shortcut("C:\\Café\\a.exe", "Café", "C:\\Café\\a.ico"), western, &bytes).text, "");
    EXPECT_EQ(bytes, "C:\\Caf\xE9\\a.exe\r\nCaf\xE9\r\nC:\\Caf\xE9\\a.ico\r\n\r\n");
    ASSERT_EQ(MakeControlFile(TemporaryRun("tool.exe"), western, &bytes).text, "");
    EXPECT_EQ(bytes, "\r\n\r\n\r\ntool.exe\r\n");
    EXPECT_GT(bytes.size(), 1u);   // the installer ignores a control file of 0 or 1 bytes
    EXPECT_NE(MakeControlFile(TemporaryRun("日本.exe"), western, &bytes).text, "");
    CloseCodePage(&western);
}

TEST(ControlFile, ReadsBackAsTheInstallerDoes) {
    ControlValues values = ReadControlFile("  C:\\a.exe  \r\n  Name \nicon\rrun me");
    EXPECT_EQ(values.mode, CONTROL_SHORTCUT);
    EXPECT_EQ(values.program, "C:\\a.exe");   // trailing spaces go from line 1 only
    EXPECT_EQ(values.name, "Name ");
    EXPECT_EQ(values.icon, "icon");
    EXPECT_EQ(values.command, "run me");

    values = ReadControlFile("C:\\a.exe\r\nOnly two\r\n");
    EXPECT_EQ(values.icon, "");
    EXPECT_EQ(values.command, "");

    values = ReadControlFile("   \r\n\r\n\r\ncleanup.exe\r\n");
    EXPECT_EQ(values.mode, CONTROL_TEMP_RUN);
    EXPECT_EQ(values.command, "cleanup.exe");
}

// A command's program is looked for beside the installer unless it names a
// folder: create writes the target in front of a relative one, and refuses
// (verify fails) one that stays relative outside the target.
TEST(ControlFile, CommandsWithTheTargetInFront) {
    ControlValues given = Shortcut("C:\\App\\app.exe", "App", "", "\"bin\\app.exe\" /first");
    ControlValues written = CommandsInTarget(given, "C:\\App\\");
    EXPECT_EQ(written.command, "\"C:\\App\\bin\\app.exe\" /first");
    EXPECT_EQ(written.program, given.program);
    EXPECT_EQ(CommandPlaceProblem(written, "C:\\App\\").text, "");
    EXPECT_EQ(CommandPlaceProblem(CommandsInTarget(TemporaryRun("t.exe"), ".\\t\\"), ".\\t\\").text, "");
    EXPECT_EQ(CommandPlaceProblem(Shortcut("C:\\a.exe", "n"), ".\\").text, "");   // no command

    const std::pair<ControlValues, const char*> relative[] = {
        {Shortcut("C:\\App\\app.exe", "App", "", "app.exe"), "C:\\App\\"},
        {Shortcut("C:\\App\\app.exe", "App", "", "\"bin\\app.exe\" /s"), "C:\\App\\"},
        {Shortcut("C:\\App\\app.exe", "App", "", "..\\app.exe"), ".\\App\\"},
        {TemporaryRun("setup2.exe"), ".\\setup.tmp\\"},
    };
    for (const auto& c : relative) {
        std::string problem = CommandPlaceProblem(c.first, c.second).text;
        EXPECT_NE(problem.find("Windows would look for its program beside the installer"), std::string::npos)
            << c.first.command << ": " << problem;
        EXPECT_NE(problem.find("create writes '" + CommandsInTarget(c.first, c.second).command + "'"),
                  std::string::npos)
            << problem;
    }
}
