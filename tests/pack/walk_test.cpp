// The walk over the tree to pack: its stable order and the names it writes,
// and the trees it refuses that the program's tests do not reach.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "pack/host/tree_walk.h"
#include "pack_testing.h"

namespace {

struct WalkFixture {
    CodePage codePage;
    WalkOptions options;
    std::string root;

    explicit WalkFixture(const std::string& label) {
        EXPECT_EQ(OpenCodePage("WINDOWS-1252", &codePage).text, "");
        options.codePage = &codePage;
        options.target = ".\\";
        root = MakeScratch(label);
    }
    ~WalkFixture() {
        CloseCodePage(&codePage);
        RemoveTree(root);
    }

    std::string Walk(std::vector<SourceEntry>* entries) { return WalkTree(root, options, entries).text; }
    std::string Problem() {
        std::vector<SourceEntry> entries;
        return Walk(&entries);
    }
};

std::vector<std::string> Names(const std::vector<SourceEntry>& entries) {
    std::vector<std::string> names;
    for (const SourceEntry& entry : entries) names.push_back(entry.name);
    return names;
}

}   // namespace

TEST(Walk, DirectoriesBeforeTheirContentsNamesSorted) {
    WalkFixture tree("order");
    for (const char* directory : {"b", "b/z", "a", "B2"}) mkdir((tree.root + "/" + directory).c_str(), 0755);
    WriteFile(tree.root + "/b/z/deep.txt", "deep");
    WriteFile(tree.root + "/b/file", "12345");
    WriteFile(tree.root + "/c.txt", "");
    WriteFile(tree.root + "/A.txt", "x");
    WriteFile(tree.root + "/caf\xC3\xA9", "accent");
    std::vector<SourceEntry> entries;
    ASSERT_EQ(tree.Walk(&entries), "");
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"A.txt", "B2\\", "a\\", "b\\", "b\\file", "b\\z\\",
                                                        "b\\z\\deep.txt", "c.txt", "caf\xE9"}));
    EXPECT_TRUE(entries[3].isDirectory);
    EXPECT_EQ(entries[4].size, 5u);
    EXPECT_EQ(entries[4].hostPath, tree.root + "/b/file");
}

TEST(Walk, ControlNamesAreTakenOnlyAtTheTopLevel) {
    WalkFixture tree("control");
    mkdir((tree.root + "/sub").c_str(), 0755);
    WriteFile(tree.root + "/sub/$$$.$$$", "mine");
    EXPECT_EQ(tree.Problem(), "");
    tree.options.controlFileWanted = true;
    EXPECT_EQ(tree.Problem(), "");
    WriteFile(tree.root + "/$$$.$$$", "mine");
    tree.options.controlFileWanted = false;
    EXPECT_NE(tree.Problem().find("control file"), std::string::npos);
}

TEST(Walk, RefusesNamesThatDifferOnlyInCase) {
    WalkFixture tree("case");
    WriteFile(tree.root + "/Readme.txt", "1");
    WriteFile(tree.root + "/README.TXT", "2");
    std::string problem = tree.Problem();
    EXPECT_NE(problem.find("same name as 'README.TXT'"), std::string::npos) << problem;
}

TEST(Walk, SymbolicLinksRefusedOrFollowedAndLoopsCaught) {
    WalkFixture tree("links");
    mkdir((tree.root + "/real").c_str(), 0755);
    WriteFile(tree.root + "/real/file.txt", "data");
    ASSERT_EQ(symlink("real", (tree.root + "/alias").c_str()), 0);
    EXPECT_NE(tree.Problem().find("/alias: is a symbolic link (use --follow-links"), std::string::npos);

    tree.options.followLinks = true;
    std::vector<SourceEntry> entries;
    ASSERT_EQ(tree.Walk(&entries), "");
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"alias\\", "alias\\file.txt", "real\\", "real\\file.txt"}));

    ASSERT_EQ(symlink("..", (tree.root + "/real/up").c_str()), 0);
    EXPECT_NE(tree.Problem().find("/up: symbolic link loop"), std::string::npos);
    unlink((tree.root + "/real/up").c_str());
    ASSERT_EQ(symlink("nowhere", (tree.root + "/broken").c_str()), 0);
    EXPECT_NE(tree.Problem().find("/broken: symbolic link to nothing"), std::string::npos);
}

TEST(Walk, RefusesWhatIsNeitherFileNorDirectory) {
    WalkFixture tree("fifo");
    ASSERT_EQ(mkfifo((tree.root + "/pipe").c_str(), 0644), 0);
    EXPECT_NE(tree.Problem().find("/pipe: is neither a regular file nor a directory"), std::string::npos);
}
