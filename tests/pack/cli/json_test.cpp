// list --json and verify --json: one document on standard output, read here
// with a small strict parser and compared with the packed tree.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>

#include "../../common/json_reader.h"
#include "../pack_testing.h"
#include "archive/crc32.h"

TEST(CliJson, ListAndVerifyDescribeThePackedTree) {
    std::string scratch = MakeScratch("json");
    std::string tree = scratch + "/tree", stub = scratch + "/stub.exe", installer = scratch + "/setup.exe";
    mkdir(tree.c_str(), 0755);
    mkdir((tree + "/docs").c_str(), 0755);
    WriteFile(tree + "/docs/manual.txt", "manual");
    WriteFile(tree + "/caf\xC3\xA9.txt", "");
    WriteBytes(stub, FakeStub());
    const std::string command = "\"C:\\App\\docs\\manual.txt\" /x";
    ASSERT_EQ(RunPack({"create", tree, "-o", installer, "--stub", stub, "--target", "C:\\App", "--shortcut",
                       "C:\\App\\docs\\manual.txt", "--name", "Manual", "--run", command})
                  .exitCode,
              0);

    ProgramRun listed = RunPack({"list", "--json", installer});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    Json list = Parse(listed.out);
    ASSERT_EQ(list.kind, Json::OBJECT) << listed.out;
    EXPECT_EQ(list["schema_version"].number, 1);
    EXPECT_EQ(list["target"].text, "C:\\App\\");
    EXPECT_EQ(list["problem"].kind, Json::NUL);
    EXPECT_EQ(list["signature"].kind, Json::NUL);
    std::vector<std::string> entries;
    for (const Json& entry : list["entries"].items)
        entries.push_back(entry["kind"].text + " " + std::to_string(entry["size"].number) + " " + entry["name"].text);
    const std::vector<std::string> packed = {"directory 0 docs\\", "file 0 caf\xC3\xA9.txt", "file 6 docs\\manual.txt",
                                             "file " + std::to_string(24 + 8 + 2 + command.size() + 2) + " $$$.$$$"};
    EXPECT_EQ(entries, packed);
    const Json& control = list["control_file"];
    EXPECT_EQ(control["mode"].text, "shortcut");
    EXPECT_EQ(control["program"].text, "C:\\App\\docs\\manual.txt");
    EXPECT_EQ(control["name"].text, "Manual");
    EXPECT_EQ(control["icon"].text, "");
    EXPECT_EQ(control["command"].text, command);

    ProgramRun verified = RunPack({"verify", "--json", installer});
    EXPECT_EQ(verified.exitCode, 0) << verified.err;
    Json verify = Parse(verified.out);
    ASSERT_EQ(verify.kind, Json::OBJECT) << verified.out;
    EXPECT_EQ(verify["result"].text, "warn");   // as create warned: --run with the rights 'setup' asks for, and café
    EXPECT_EQ(verify["entries"].items.size(), packed.size());
    std::string checks;
    for (const Json& check : verify["checks"].items) checks += check["name"].text + "=" + check["result"].text + " ";
    EXPECT_EQ(checks, "archive=pass entry_stream=pass stub=pass target=pass names=pass control_file=pass layout=pass "
                      "memory=pass warnings=warn signature=pass ");
    ASSERT_EQ(verify["warnings"].items.size(), 2u) << verified.out;
    EXPECT_NE(verify["warnings"].items[0].text.find("--run '" + command + "' starts the program with them too"),
              std::string::npos);
    ProgramRun strict = RunPack({"verify", "--json", "--strict", installer});
    EXPECT_EQ(strict.exitCode, 1);
    EXPECT_EQ(Parse(strict.out)["result"].text, "fail");

    // A name the code page cannot read (0x81 has no meaning in Windows-1252),
    // and an installer that fails a check.
    std::string stream = std::string(".\\\0\x01\0\0\0a\x81\0x\xFF\xFF\xFF\xFF", 16);
    Bytes odd = FakeStub();
    uint32_t header[3] = {16, 16, Crc32Fingerprint((const uint8_t*)stream.data(), 16)};
    for (uint32_t value : header)
        for (int shift = 0; shift < 32; shift += 8) odd.push_back(uint8_t(value >> shift));
    odd.insert(odd.end(), stream.begin(), stream.end());
    WriteBytes(installer, odd);
    list = Parse(RunPack({"list", "--json", installer}).out);
    ASSERT_EQ(list["entries"].items.size(), 1u);
    EXPECT_EQ(list["entries"].items[0]["name"].text, "a\xEF\xBF\xBD");
    EXPECT_EQ(list["entries"].items[0]["name_hex"].text, "6181");
    verified = RunPack({"verify", "--json", installer});
    EXPECT_EQ(verified.exitCode, 1);
    verify = Parse(verified.out);
    EXPECT_EQ(verify["result"].text, "fail");
    const Json& last = verify["checks"].items.back();
    EXPECT_EQ(last["name"].text + " " + last["result"].text, "names fail");
    EXPECT_NE(last["reason"].text.find("code page"), std::string::npos) << last["reason"].text;
    RemoveTree(scratch);
}
