// The command line's tables: the help text names every row of them, every
// control mode's option is in the options table, and every option is one the
// parser takes with the commands its row names and refuses with the others.
#include <gtest/gtest.h>

#include "codec/levels.h"
#include "pack/cli/options.h"

TEST(Options, HelpTextShowsEveryCommandOptionModeAndLevel) {
    std::string help = UsageText();
    for (const CommandSpec& command : Commands())
        EXPECT_NE(help.find(std::string("sfxpack ") + command.name + " " + command.usage), std::string::npos);
    for (const OptionSpec& option : Options()) EXPECT_NE(help.find(option.name), std::string::npos) << option.name;
    for (const ControlModeSpec& mode : ControlModes()) {
        for (const ControlValueSpec& value : mode.values) EXPECT_NE(FindOption(value.option), nullptr) << value.option;
        std::string firstLine(mode.help, std::string(mode.help).find('\n'));
        EXPECT_NE(help.find(firstLine), std::string::npos) << firstLine;
    }
    for (const CompressionLevel& level : CompressionLevels())
        EXPECT_NE(help.find(std::string(level.name) + "  "), std::string::npos) << level.name;
}

TEST(Options, EveryOptionParsesWithItsCommands) {
    for (const OptionSpec& option : Options()) {
        for (const CommandSpec& command : Commands()) {
            std::vector<std::string> arguments = {command.name};
            for (size_t operand = 0; operand < command.operands; ++operand) arguments.push_back("x");
            arguments.push_back(option.shortName.empty() ? option.name : option.shortName);
            if (!option.valueName.empty()) arguments.push_back(option.name == "--level" ? "fast" : "value");
            CommandLine line;
            std::string problem = ParseCommandLine(arguments, &line).text;
            EXPECT_EQ(problem.find("unknown option"), std::string::npos) << option.name << ": " << problem;
            bool goesWith = option.commands == 0 || (option.commands & command.forBit);
            EXPECT_EQ(problem.find("does not go with") == std::string::npos, goesWith)
                << option.name << ": " << problem;
        }
    }
}

TEST(Options, ThreadsTakeZeroToSixtyFour) {
    const std::pair<const char*, int> cases[] = {{"0", 0},   {"1", 1}, {"03", 3},  {"64", 64},        {"65", -1},
                                                 {"-1", -1}, {"", -1}, {"2x", -1}, {"9999999999", -1}};
    for (const auto& each : cases) {
        CommandLine line;
        std::string problem = ParseCommandLine({"create", "x", "-o", "y", "--threads", each.first}, &line).text;
        if (each.second < 0) {
            EXPECT_NE(problem.find("--threads takes a number from 0 to 64"), std::string::npos) << each.first;
        } else {
            EXPECT_EQ(problem, "") << each.first;
            EXPECT_EQ(line.create.threads, uint32_t(each.second)) << each.first;
        }
    }
}

// Spellings people type without thinking parse alike: options before or after
// the command word and its operands, short values attached, '--' ending them.
TEST(Options, ConventionsParseAlike) {
    struct Case {
        std::vector<std::string> arguments;
        std::string output;   // what -o names
        std::string lastOperand;
        bool quiet;
    };
    const Case cases[] = {
        {{"create", "tree", "-o", "out.exe"}, "out.exe", "tree", false},
        {{"-q", "create", "tree", "-oout.exe"}, "out.exe", "tree", true},
        {{"--output=out.exe", "create", "tree", "--quiet"}, "out.exe", "tree", true},
        {{"--output", "out.exe", "-q", "create", "--", "-tree"}, "out.exe", "-tree", true},
        {{"create", "-o", "-x.exe", "--", "--quiet"}, "-x.exe", "--quiet", false},
        {{"--codepage", "CP1250", "extract", "a.exe", "out"}, "", "out", false},
    };
    for (const Case& c : cases) {
        CommandLine line;
        ASSERT_EQ(ParseCommandLine(c.arguments, &line).text, "") << c.arguments[0];
        EXPECT_EQ(line.create.output, c.output);
        EXPECT_EQ(line.operands.back(), c.lastOperand);
        EXPECT_EQ(line.quiet, c.quiet);
    }
    CommandLine line;
    EXPECT_EQ(ParseCommandLine({"-V"}, &line).text, "");
    EXPECT_EQ(line.command, COMMAND_VERSION);
    // Without -o, the one named like a program is the installer, in either order.
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"create", "tree", "out.exe"}, {"create", "out.exe", "tree"}})
        EXPECT_EQ(ParseCommandLine(arguments, &line).text,
                  "create takes one DIR; to pack tree into the installer out.exe, give create tree -o out.exe");
    EXPECT_EQ(ParseCommandLine({"-x", "list", "a.exe"}, &line).text, "unknown option '-x'");
    EXPECT_EQ(ParseCommandLine({"-q"}, &line).text, "no command given");
}
