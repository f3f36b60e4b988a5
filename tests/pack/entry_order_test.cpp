// The entries' order for the compressor: directories before what they hold,
// files by directory, extension and name, whatever order they came in.
#include <gtest/gtest.h>

#include <algorithm>

#include "pack/host/entry_order.h"

TEST(EntryOrder, DirectoriesFirstThenFilesByDirectoryExtensionAndName) {
    // The walk's order of a small tree: directories before their contents, names sorted.
    const char* const walk[] = {"a.txt",  "b\\", "b\\c.h", "b\\d.d\\", "b\\d.d\\e", "b\\f.c",
                                "b\\g.h", "b.c", "README", "x.y\\",    "x.y\\z.c",  "x.y\\z.a"};
    const char* const expected[] = {"b\\",    "b\\d.d\\", "x.y\\",  "README",    "b.c",      "a.txt",
                                    "b\\f.c", "b\\c.h",   "b\\g.h", "b\\d.d\\e", "x.y\\z.a", "x.y\\z.c"};
    std::vector<SourceEntry> entries;
    for (const char* name : walk) entries.push_back({name, name, std::string(name).back() == '\\', 1});
    for (int shuffle = 0; shuffle < 3; ++shuffle) {
        // Files in any order give the same result; directories keep the walk's.
        std::vector<SourceEntry> ordered = entries;
        std::stable_partition(ordered.begin(), ordered.end(), [](const SourceEntry& e) { return e.isDirectory; });
        std::rotate(ordered.begin() + 3, ordered.begin() + 3 + shuffle * 2, ordered.end());
        OrderForCompression(&ordered);
        std::vector<std::string> names;
        for (const SourceEntry& entry : ordered) names.push_back(entry.name);
        EXPECT_EQ(names, std::vector<std::string>(std::begin(expected), std::end(expected))) << shuffle;
        // Every entry comes after the directory that holds it.
        for (size_t index = 0; index < names.size(); ++index) {
            size_t slash = names[index].find_last_of('\\', names[index].size() - 2);
            if (slash == std::string::npos) continue;
            auto parent = std::find(names.begin(), names.end(), names[index].substr(0, slash + 1));
            EXPECT_LT(parent - names.begin(), ptrdiff_t(index)) << names[index];
        }
    }
}
