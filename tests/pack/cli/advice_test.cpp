// What sfxpack tells its user about Windows and about their own slips, through
// the command line: warnings that leave the installer made (and that --quiet
// keeps), and hints in the messages of what it refuses.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "../pack_testing.h"

TEST(CliAdvice, WarningsAboutWindowsAndHintsForSlips) {
    std::string scratch = MakeScratch("advice");
    std::string tree = scratch + "/tree", out = scratch + "/out", stub = scratch + "/stub.exe";
    mkdir(tree.c_str(), 0755);
    mkdir(out.c_str(), 0755);
    WriteFile(tree + "/app.exe", "MZ");
    WriteBytes(stub, FakeStub());
    for (const char* name : {"/cyrillic", "/mixed", "/my app", "/built"}) mkdir((scratch + name).c_str(), 0755);
    WriteFile(scratch + "/cyrillic/\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt", "1");   // Cyrillic
    WriteFile(scratch + "/mixed/\xD1\x84.txt", "1");                              // Cyrillic
    WriteFile(scratch + "/mixed/\xD7\x90.txt", "2");                              // Hebrew
    std::string script = "#!/bin/sh\n# a self-extracting shell archive, not one of ours\n";
    while (script.size() < 20000) script += "echo 'extracting the payload that follows'\n";
    WriteFile(scratch + "/other.run", script);

    // TREE, OUT and SCRATCH stand for the paths; a create line gets --stub and -q.
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::vector<std::string> words;   // in standard error
        bool hostOnly;                    // sfxpack.exe knows no such code page at all
    };
    const std::string rights = "Windows asks for administrator rights only for an installer whose file name holds "
                               "setup, install, update or patch, and 'app.exe' holds none";
    const Case cases[] = {
        {{"create", "TREE", "-o", "OUT/app.exe", "--target", "C:\\Program Files\\App"},
         0,
         {"warning: the target 'C:\\Program Files\\App\\' is in a folder that standard users cannot write", rights,
          "VirtualStore", "name it so ('app-setup.exe'), or have it run as administrator"}},
        {{"create", "TREE", "-o", "OUT/app.exe", "--target", "C:\\"}, 0, {"the target 'C:\\' is in a folder", rights}},
        {{"create", "TREE", "-o", "OUT/app-setup.exe", "--target", "C:\\Program Files\\App"}, 0, {}},
        {{"create", "TREE", "-o", "OUT/App-Setup.exe"},
         0,
         {"warning: 'App-Setup.exe' holds 'setup', so Windows asks for administrator rights to run it, which its "
          "relative target '.\\' does not need",
          "\"This program might not have installed correctly\""}},
        {{"create", "TREE", "-o", "OUT/tool.exe", "--temp-run", "app.exe"},
         0,
         {"'tool.exe' holds none: run without them, a temporary run cannot write its list of extracted files, "
          "c:\\raspakiraj.lst",
          "removes nothing after the run"}},
        {{"create", "TREE", "-o", "OUT/setup.exe", "--temp-run", "app.exe"}, 0, {}},   // the rights write the list
        {{"create", "TREE", "-o", "OUT/app.exe", "--target", "C:\\Caf\xC3\xA9"},
         0,
         {"warning: 'C:\\Caf\xC3\xA9\\' is outside ASCII", "only where Windows' ANSI code page is WINDOWS-1252"}},
        {{"create", "TREE", "-o", "OUT/app.exe", "--target", "C:\\App", "--shortcut", "C:\\App\\app.exe", "--name",
          "\xC3\x9C"
          "ber"},
         0,
         {"'\xC3\x9C"
          "ber' is outside ASCII"}},
        {{"create", "TREE", "-o", "OUT/app.exe", "--codepage", "UTF-8"},
         0,
         {"warning: --codepage UTF-8: Windows takes UTF-8 for its ANSI code page only where the user turned on its "
          "beta option \"Use Unicode UTF-8 for worldwide language support\""}},
        {{"create", "TREE", "-o", "OUT/app.exe", "--codepage", "UTF-16"},
         2,
         {"'UTF-16' is UTF-16, which no Windows uses as its ANSI code page"},
         true},
        {{"list", "OUT/app.exe", "--codepage", "ucs-4"}, 2, {"'ucs-4' is UTF-32"}, true},
        // The installer named first and no -o: the folder that exists is DIR.
        {{"create", "OUT/setup", "TREE"},
         2,
         {"to pack TREE into the installer OUT/setup, give create TREE -o OUT/setup"}},
        {{"create", "TREE", "-o", "OUT"},
         1,
         {"OUT: is a directory; to write the installer in it, give -o OUT/NAME.exe"}},
        {{"create", "TREE", "-o", "OUT/new/"}, 1, {"OUT/new/: is a directory", "give -o OUT/new/NAME.exe"}},
        // A newcomer's slips: each says what to do.
        {{"create", "TREE", "-o", "OUT/app.exe", "--target", "Program Files\\App"},
         0,
         {"--target 'Program Files\\App' names no drive: the installer extracts beside itself, into "
          ".\\Program Files\\App\\; for the folder on drive C: give --target 'C:\\Program Files\\App'"}},
        {{"crate", "TREE", "-o", "OUT/app.exe"}, 2, {"unknown command 'crate'; did you mean 'create'?"}},
        {{"create", "TREE", "-o", "OUT/app.exe", "--levle", "fast"},
         2,
         {"unknown option '--levle'; did you mean '--level'?"}},
        {{"create", "-o", "TREE", "OUT/app.exe"},
         2,
         {"-o names the directory TREE, and OUT/app.exe is none: to pack TREE into the installer OUT/app.exe, give "
          "create TREE -o OUT/app.exe"}},
        {{"create", "-o", "OUT/app.exe"}, 2, {"create needs the DIR to pack: create DIR -o "}},
        {{"create", "SCRATCH/my", "app", "-o", "OUT/app.exe"},
         2,
         {"create takes one DIR, not 2: 'SCRATCH/my' does not exist, 'app' does not exist; a DIR whose name holds "
          "spaces needs quotes: 'SCRATCH/my app'"}},
        {{"create", "SCRATCH/cyrillic", "-o", "OUT/app.exe"},
         1,
         {"the name cannot be written in code page WINDOWS-1252; every name of the tree can be written in "
          "WINDOWS-1251, "}},
        {{"create", "SCRATCH/mixed", "-o", "OUT/app.exe"},
         1,
         {"no code page that Windows reads an installer's names in holds every name of the tree"}},
        // An earlier build's installer in the tree; and --run with the rights a 'setup' asks for, which verify
        // repeats, and --strict fails.
        {{"create", "TREE", "-o", "SCRATCH/built/old-setup.exe", "--target", "C:\\App"}, 0, {}},
        {{"create", "SCRATCH/built", "-o", "OUT/app.exe", "--target", "C:\\App"},
         0,
         {"warning: 'old-setup.exe' is itself an installer made by sfxpack"}},
        {{"create", "TREE", "-o", "OUT/app-setup.exe", "--target", "C:\\App", "--shortcut", "C:\\App\\app.exe",
          "--name", "App", "--run", "app.exe"},
         0,
         {"warning: 'app-setup.exe' holds 'setup', so Windows runs it with administrator rights, and --run 'app.exe' "
          "starts the program with them too"}},
        {{"verify", "OUT/app-setup.exe"},
         0,
         {"warning: OUT/app-setup.exe: 'app-setup.exe' holds 'setup', so Windows runs it with administrator rights, "
          "and --run 'C:\\App\\app.exe' starts the program"}},
        {{"verify", "--strict", "OUT/app-setup.exe"},
         1,
         {"OUT/app-setup.exe: 1 warning, which --strict makes a failure"}},
        {{"verify", "SCRATCH/other.run"},
         1,
         {"SCRATCH/other.run: invalid installer: not an installer made by sfxpack (no archive after the installer "
          "stub): what follows its header is neither an entry stream nor a compressed block"}},
    };
    auto expand = [&](std::string text) {
        for (const auto& name :
             {std::make_pair("TREE", tree), std::make_pair("OUT", out), std::make_pair("SCRATCH", scratch)})
            for (size_t at = text.find(name.first); at != std::string::npos; at = text.find(name.first, at))
                text.replace(at, strlen(name.first), name.second);
        return text;
    };
    for (const Case& c : cases) {
        if (c.hostOnly && PackRunsUnderWine()) continue;
        std::vector<std::string> arguments;
        for (const std::string& argument : c.arguments) arguments.push_back(expand(argument));
        if (arguments[0] == "create" && c.exitCode == 0) arguments.insert(arguments.end(), {"--stub", stub, "-q"});
        ProgramRun run = RunPack(arguments);
        std::string context = c.arguments[0] + " " + c.arguments.back();
        EXPECT_EQ(run.exitCode, c.exitCode) << context << ": " << run.err;
        for (const std::string& word : c.words)
            EXPECT_NE(run.err.find(expand(word)), std::string::npos) << context << ": '" << expand(word) << "' in\n"
                                                                     << run.err;
        if (c.words.empty()) EXPECT_EQ(run.err, "") << context;
    }
    RemoveTree(scratch);
}
