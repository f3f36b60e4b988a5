// sfxpack try, under Wine: installers that create makes in each mode, and
// three made to go wrong, each tried once with --json; and try with Wine
// hidden from PATH. The first try of a fresh cache makes its prefix.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "../common/json_reader.h"
#include "harness.h"

namespace fs = std::filesystem;

namespace {

struct TryRun {
    int exitCode = -1;
    std::string out, err;
};

// sfxpack with the arguments, its cache in the build tree; environment: what
// to put before the command ("PATH=...").
TryRun RunSfxpack(const std::vector<std::string>& arguments, const std::string& scratch,
                  const std::string& environment = "") {
    std::string command = environment + " XDG_CACHE_HOME='" SFX_TRY_CACHE "' '" SFX_SOURCE_DIR "/dist/sfxpack'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    command += " >'" + scratch + "/out' 2>'" + scratch + "/err'";
    int status = system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileText(scratch + "/out"),
            ReadFileText(scratch + "/err")};
}

// The processes whose Wine prefix lies in the try cache: none may outlive a run.
std::vector<std::string> WineProcessesLeft() {
    std::vector<std::string> left;
    for (const fs::directory_entry& process : fs::directory_iterator("/proc")) {
        std::string environment = ReadFileText(process.path().string() + "/environ");
        if (environment.find(std::string("WINEPREFIX=") + SFX_TRY_CACHE) != std::string::npos)
            left.push_back(ReadFileText(process.path().string() + "/cmdline"));
    }
    return left;
}

bool HasProblem(const Json& report, const std::string& part) {
    for (const Json& problem : report["problems"].items)
        if (problem.text.find(part) != std::string::npos) return true;
    return false;
}

bool Started(const Json& report, const std::string& program, const std::string& directory) {
    for (const Json& start : report["started"].items)
        if (start["command"].text.find(program) != std::string::npos &&
            (directory.empty() || start["directory"].text == directory))
            return true;
    return false;
}

void ExpectBoxes(const Json& report, const std::vector<std::string>& expected) {
    std::vector<std::string> boxes;
    for (const Json& box : report["boxes"].items) boxes.push_back(box["caption"].text + ": " + box["text"].text);
    EXPECT_EQ(boxes, expected);
}

struct TryCase {
    const char* name;
    std::vector<std::string> createOptions;
    bool damaged;   // a byte of its compressed block changed
    const char* result;
    std::function<void(const Json& report)> check;
};

const char* const kHello = "C:\\Program Files\\Hello\\hello.exe";

}   // namespace

TEST(Try, ReportsWhatEachInstallerDid) {
    std::string scratch = SFX_TRY_CACHE "/../try-test";
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    // No drive Z: for the host's root: this target cannot be written.
    std::string outside = "/tmp/sfx-try-outside-" + std::to_string(getpid()), outsideOnZ = "Z:" + outside;
    for (char& c : outsideOnZ) c = c == '/' ? '\\' : c;
    const TryCase cases[] = {
        {"plain",
         {"--target", "C:\\Plain"},
         false,
         "pass",
         [](const Json& report) {
             EXPECT_EQ(report["exit_code"].number, 0);
             ExpectBoxes(report, {});
             bool found = false;
             for (const Json& change : report["installed"].items)
                 found = found || (change["path"].text == "C:\\Plain\\hello.exe" && change["as_packed"].boolean &&
                                   change["change"].text == "created");
             EXPECT_TRUE(found);
             EXPECT_EQ(report["left_after_run"].kind, Json::NUL);
         }},
        {"shortcut-setup",
         {"--target", "C:\\Program Files\\Hello", "--shortcut", kHello, "--name", "Hello", "--icon",
          "C:\\Program Files\\Hello\\hello.ico", "--run", kHello},
         false,
         "pass",
         [](const Json& report) {
             ExpectBoxes(report, {"Instalacija gotova!: sfx (c) 2026, sfx.example.org"});
             ASSERT_EQ(report["shortcuts"].items.size(), 1u);
             const Json& shortcut = report["shortcuts"].items[0];
             EXPECT_EQ(shortcut["name"].text, "Hello");
             EXPECT_EQ(shortcut["target"].text, kHello);
             EXPECT_EQ(shortcut["working_directory"].text, "C:\\Program Files\\Hello\\");
             EXPECT_EQ(shortcut["icon"].text, "C:\\Program Files\\Hello\\hello.ico");
             EXPECT_EQ(shortcut["description"].text, "Hello");
             EXPECT_TRUE(Started(report, kHello, "C:\\Program Files\\Hello\\"));
         }},
        {"tool-setup",
         {"--temp-run", "hello.exe"},
         false,
         "pass",
         [](const Json& report) {
             EXPECT_EQ(report["exit_code"].number, 0);
             EXPECT_EQ(report["left_after_run"].kind, Json::ARRAY);
             EXPECT_TRUE(report["left_after_run"].items.empty());
             EXPECT_TRUE(Started(report, "tool-setup.tmp\\hello.exe", ""));
         }},
        {"damaged",
         {"--target", "C:\\Plain"},
         true,
         "fail",
         [](const Json& report) {
             EXPECT_EQ(report["exit_code"].number, 255);
             ExpectBoxes(report, {"Greska: Neispravna sfx arhiva!"});
             EXPECT_TRUE(HasProblem(report, "the installer is damaged"));
         }},
        {"missing-setup",
         {"--temp-run", "missing.exe"},
         false,
         "fail",
         [](const Json& report) {
             EXPECT_EQ(report["exit_code"].number, 1);
             ExpectBoxes(report, {"Greska: Instalacija nije uspjela!"});   // and no box of the shell's
             EXPECT_TRUE(HasProblem(report, "missing.exe\" did not start"));
         }},
        {"unwritable-setup",
         {"--target", outsideOnZ},
         false,
         "fail",
         [&](const Json& report) {
             EXPECT_EQ(report["exit_code"].number, 1);
             ExpectBoxes(report, {"Greska: Instalacija nije uspjela!"});
             EXPECT_FALSE(Exists(outside));
             fs::remove_all(outside);
         }},
    };
    for (const TryCase& each : cases) {
        SCOPED_TRACE(each.name);
        std::string installer = scratch + "/" + each.name + ".exe";
        std::vector<std::string> create = {"create", SFX_EXAMPLE_APP_DIR, "-o", installer, "-q"};
        create.insert(create.end(), each.createOptions.begin(), each.createOptions.end());
        ASSERT_EQ(RunSfxpack(create, scratch).exitCode, 0) << ReadFileText(scratch + "/err");
        if (each.damaged) {
            Bytes bytes = ReadFileBytes(installer);
            bytes[bytes.size() - 20] ^= 0xFF;
            WriteFileBytes(installer, bytes);
        }
        std::string kept = scratch + "/" + each.name + ".kept";
        TryRun run = RunSfxpack({"try", "--json", "--keep", kept, installer}, scratch);
        Json report = Parse(run.out);
        ASSERT_EQ(report.kind, Json::OBJECT) << run.out << run.err;
        for (const char* key : {"installer", "exit_code", "boxes", "installed", "shortcuts", "started",
                                "left_after_run", "seconds", "result", "problems"})
            EXPECT_NE(report[key].kind, Json::NONE) << key;
        EXPECT_EQ(report["result"].text, each.result) << run.out;
        EXPECT_EQ(run.exitCode, std::string(each.result) == "pass" ? 0 : 1) << run.err;
        each.check(report);
        // The kept prefix: Wine's log, and no drive but C: (Wine adds serial ports).
        EXPECT_FALSE(ReadFileText(kept + "/wine.log").empty());
        std::vector<std::string> drives;
        for (const fs::directory_entry& device : fs::directory_iterator(kept + "/prefix/dosdevices"))
            if (device.path().filename().string().back() == ':') drives.push_back(device.path().filename().string());
        EXPECT_EQ(drives, std::vector<std::string>{"c:"});
        EXPECT_EQ(WineProcessesLeft(), std::vector<std::string>{});
        fs::remove_all(kept);
    }
}

TEST(Try, SaysWhatToInstallWithoutWine) {
    std::string scratch = SFX_TRY_CACHE "/../try-test-no-wine";
    fs::create_directories(scratch);
    TryRun run = RunSfxpack({"try", "setup.exe"}, scratch, "PATH=/nonexistent");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("wine32:i386"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("wine --version"), std::string::npos) << run.err;
    fs::remove_all(scratch);
}
