// File-system operations against the real file system of the Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "files/file_system.h"
#include "scratch.h"

namespace {

std::string Padded(std::string path, char filler, size_t length) {
    path.resize(length, filler);
    return path;
}

void MakeReadOnly(const std::string& path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY); }

// Sub-directories are created in order, so list parents first.
void MakeTree(const std::string& base, std::initializer_list<const char*> entries) {
    for (const char* entry : entries) {
        std::string path = base + entry;
        if (path.back() == '\\') CreateDirectoryA(path.c_str(), nullptr);
        else WriteWholeFile(path, "data");
    }
}

// Paths longer than MAX_PATH need the wide calls with the "\\?\" prefix.
std::wstring LongPath(const std::string& path) { return L"\\\\?\\" + std::wstring(path.begin(), path.end()); }
bool LongPathExists(const std::string& path) {
    return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}   // namespace

TEST(GetOwnProgramPath, IsTheModulePath) {
    char expected[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, expected, MAX_PATH);
    std::string own = GetOwnProgramPath();
    EXPECT_EQ(own, expected);
    EXPECT_GT(QueryFileSize(own.c_str()), 0);
}

TEST(QueryFileSize, NullOrEmptyIsMissing) {
    EXPECT_EQ(QueryFileSize(nullptr), FILE_SIZE_MISSING);
    EXPECT_EQ(QueryFileSize(""), FILE_SIZE_MISSING);
    EXPECT_EQ(QueryFileSize("\\\\\\"), FILE_SIZE_MISSING);   // only backslashes: trimmed to nothing
}

TEST(QueryFileSize, DriveRoots) {
    EXPECT_EQ(QueryFileSize("C:"), FILE_SIZE_DIRECTORY);
    EXPECT_EQ(QueryFileSize("C:\\"), FILE_SIZE_DIRECTORY);
    EXPECT_EQ(QueryFileSize("Q:"), FILE_SIZE_MISSING);   // no such drive in the prefix
    EXPECT_EQ(QueryFileSize("Q:\\"), FILE_SIZE_MISSING);

    // Three characters are always judged as a drive root, never as a file
    // relative to the drive's current directory.
    std::string dir = MakeScratchDirectory("fs_drive");
    WriteWholeFile(dir + "x", "12345");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(dir.c_str());
    EXPECT_EQ(QueryFileSize("x"), 5);
    EXPECT_LT(QueryFileSize("C:x"), 0);
    SetCurrentDirectoryA(previous);
}

TEST(QueryFileSize, FilesAndDirectories) {
    std::string dir = MakeScratchDirectory("fs_size");
    WriteWholeFile(dir + "empty.txt", "");
    WriteWholeFile(dir + "five.bin", "12345");
    EXPECT_EQ(QueryFileSize((dir + "empty.txt").c_str()), 0);
    EXPECT_EQ(QueryFileSize((dir + "five.bin").c_str()), 5);
    EXPECT_EQ(QueryFileSize((dir + "none.bin").c_str()), FILE_SIZE_MISSING);
    EXPECT_EQ(QueryFileSize((dir + "none\\five.bin").c_str()), FILE_SIZE_MISSING);
    EXPECT_EQ(QueryFileSize(dir.c_str()), FILE_SIZE_DIRECTORY);
}

TEST(QueryFileSize, TrailingBackslashesAreIgnored) {
    EXPECT_EQ(QueryFileSize("C:\\windows"), FILE_SIZE_DIRECTORY);
    EXPECT_EQ(QueryFileSize("C:\\windows\\\\"), FILE_SIZE_DIRECTORY);
    std::string dir = MakeScratchDirectory("fs_trail");
    WriteWholeFile(dir + "five.bin", "12345");
    EXPECT_EQ(QueryFileSize((dir + "five.bin\\\\").c_str()), 5);
}

TEST(QueryFileSize, WildcardReportsTheFirstMatch) {
    std::string dir = MakeScratchDirectory("fs_wild");
    WriteWholeFile(dir + "seven.txt", "1234567");
    WriteWholeFile(dir + "three.dat", "123");
    CreateDirectoryA((dir + "subdir").c_str(), nullptr);
    EXPECT_EQ(QueryFileSize((dir + "*.txt").c_str()), 7);
    EXPECT_EQ(QueryFileSize((dir + "*.d?t").c_str()), 3);
    EXPECT_EQ(QueryFileSize((dir + "sub*").c_str()), FILE_SIZE_DIRECTORY);
    EXPECT_EQ(QueryFileSize((dir + "*.none").c_str()), FILE_SIZE_MISSING);
}

TEST(QueryFileSize, FileOver4GiBReportsItsFullSize) {
    std::string dir = MakeScratchDirectory("fs_large");
    std::string path = dir + "large.bin";
    const int64_t size = 5LL * 1024 * 1024 * 1024 + 3;   // sparse: costs no disk space
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(QueryFileSize(path.c_str()), size);
    DeleteFileA(path.c_str());
}

TEST(QueryFileSize, LongPathIsCutAt260) {
    std::string dir = MakeScratchDirectory("fs_long");
    WriteWholeFile(dir + "five.bin", "12345");
    // The first 260 characters name the file (then backslashes, which are
    // trimmed); the whole 300 would name nothing.
    std::string path = Padded(dir + "five.bin", '\\', 260) + std::string(40, 'z');
    EXPECT_EQ(QueryFileSize(path.c_str()), 5);
    path = Padded("C:\\windows", '\\', 260) + std::string(40, 'z');
    EXPECT_EQ(QueryFileSize(path.c_str()), FILE_SIZE_DIRECTORY);
    EXPECT_EQ(QueryFileSize(Padded(dir, 'z', 300).c_str()), FILE_SIZE_MISSING);
}

TEST(QueryFileSize, MissingShareIsMissing) {
    // Wine offers no network shares to test an existing share root with.
    EXPECT_EQ(QueryFileSize("\\\\nosuchserver\\share"), FILE_SIZE_MISSING);
    EXPECT_EQ(QueryFileSize("\\\\nosuchserver\\share\\"), FILE_SIZE_MISSING);
}

TEST(MakeDirectory, TrimsTrailingSpacesAndSlashes) {
    std::string dir = MakeScratchDirectory("fs_mkdir");
    CreateDirectoryA((dir + "A").c_str(), nullptr);
    EXPECT_NE(MakeDirectory((dir + "A\\B\\ /").c_str()), 0);
    EXPECT_EQ(QueryFileSize((dir + "A\\B").c_str()), FILE_SIZE_DIRECTORY);
    EXPECT_NE(MakeDirectory((dir + "A\\C/ \\/  ").c_str()), 0);
    EXPECT_EQ(QueryFileSize((dir + "A\\C").c_str()), FILE_SIZE_DIRECTORY);
    EXPECT_NE(MakeDirectory((dir + "A\\D").c_str()), 0);
    EXPECT_EQ(QueryFileSize((dir + "A\\D").c_str()), FILE_SIZE_DIRECTORY);
}

TEST(MakeDirectory, FailsWithoutItsParentOrWhenItExists) {
    std::string dir = MakeScratchDirectory("fs_mkdir_fail");
    EXPECT_EQ(MakeDirectory((dir + "X\\B\\ /").c_str()), 0);
    EXPECT_EQ(QueryFileSize((dir + "X").c_str()), FILE_SIZE_MISSING);
    EXPECT_NE(MakeDirectory((dir + "E").c_str()), 0);
    EXPECT_EQ(MakeDirectory((dir + "E").c_str()), 0);
    EXPECT_EQ(MakeDirectory((dir + "E\\").c_str()), 0);
    EXPECT_EQ(MakeDirectory(nullptr), 0);
    EXPECT_EQ(MakeDirectory(""), 0);
    EXPECT_EQ(MakeDirectory(" \\/ "), 0);
}

TEST(MakeDirectory, LongPathIsCutAt260) {
    std::string dir = MakeScratchDirectory("fs_mkdir_long");
    std::string path = Padded(dir + "L", '/', 260) + std::string(40, 'z');
    EXPECT_NE(MakeDirectory(path.c_str()), 0);
    EXPECT_EQ(QueryFileSize((dir + "L").c_str()), FILE_SIZE_DIRECTORY);
}

TEST(RemoveFile, DeletesOnlyAnExistingFile) {
    std::string dir = MakeScratchDirectory("fs_remove");
    WriteWholeFile(dir + "f.txt", "x");
    EXPECT_NE(RemoveFile((dir + "f.txt").c_str()), 0);
    EXPECT_FALSE(PathExists(dir + "f.txt"));
    EXPECT_EQ(RemoveFile((dir + "f.txt").c_str()), 0);
    EXPECT_EQ(RemoveFile(dir.c_str()), 0);
    EXPECT_TRUE(PathExists(dir));
    EXPECT_EQ(RemoveFile(nullptr), 0);
    EXPECT_EQ(RemoveFile(""), 0);
}

TEST(PurgeDirectory, BadPathsYieldZero) {
    std::string dir = MakeScratchDirectory("purge_bad");
    EXPECT_EQ(PurgeDirectory(nullptr, nullptr), 0);
    EXPECT_EQ(PurgeDirectory("", nullptr), 0);
    EXPECT_EQ(PurgeDirectory((dir + "none").c_str(), nullptr, PURGE_RECURSIVE | PURGE_FORCE), 0);
    EXPECT_EQ(PurgeDirectory((dir + "none").c_str(), "*.tmp", PURGE_RECURSIVE), 0);
}

TEST(PurgeDirectory, WholeDirectoryOfFilesGoes) {
    // An empty, a missing and an explicit "*.*" pattern all mean the whole
    // directory; a trailing backslash makes no difference.
    const char* patterns[] = {"", nullptr, "*.*", ""};
    const char* suffixes[] = {"", "", "", "\\"};
    for (int i = 0; i < 4; ++i) {
        std::string dir = MakeScratchDirectory("purge_whole" + std::to_string(i));
        MakeTree(dir, {"a.txt", "b.bin", "c"});
        std::string path = dir.substr(0, dir.size() - 1) + suffixes[i];
        EXPECT_NE(PurgeDirectory(path.c_str(), patterns[i]), 0) << i;
        EXPECT_FALSE(PathExists(dir)) << i;
    }
}

TEST(PurgeDirectory, WithoutRecursionSubDirectoriesStay) {
    std::string dir = MakeScratchDirectory("purge_flat");
    MakeTree(dir, {"a.txt", "b.txt", "sub\\", "sub\\inner.txt"});
    EXPECT_EQ(PurgeDirectory(dir.c_str(), ""), 0);
    EXPECT_FALSE(PathExists(dir + "a.txt"));
    EXPECT_FALSE(PathExists(dir + "b.txt"));
    EXPECT_TRUE(PathExists(dir + "sub\\inner.txt"));
}

TEST(PurgeDirectory, RecursiveRemovesTheWholeTree) {
    std::string dir = MakeScratchDirectory("purge_tree");
    MakeTree(dir, {"a.txt", "s1\\", "s1\\b.txt", "s1\\s2\\", "s1\\s2\\c.txt", "s1\\s2\\s3\\", "e\\"});
    EXPECT_NE(PurgeDirectory(dir.c_str(), "", PURGE_RECURSIVE), 0);
    EXPECT_FALSE(PathExists(dir));
}

TEST(PurgeDirectory, ReadOnlyFilesNeedForce) {
    std::string dir = MakeScratchDirectory("purge_ro");
    MakeTree(dir, {"a.txt", "locked.txt"});
    MakeReadOnly(dir + "locked.txt");
    EXPECT_EQ(PurgeDirectory(dir.c_str(), ""), 0);
    EXPECT_FALSE(PathExists(dir + "a.txt"));
    EXPECT_TRUE(PathExists(dir + "locked.txt"));
    EXPECT_NE(PurgeDirectory(dir.c_str(), "", PURGE_FORCE), 0);
    EXPECT_FALSE(PathExists(dir));
}

TEST(PurgeDirectory, RecursiveForceRemovesReadOnlyFilesAndDirectories) {
    std::string dir = MakeScratchDirectory("purge_ro_tree");
    MakeTree(dir, {"a.txt", "s1\\", "s1\\locked.txt", "s1\\s2\\", "s1\\s2\\locked.txt"});
    MakeReadOnly(dir + "s1\\locked.txt");
    MakeReadOnly(dir + "s1\\s2\\locked.txt");
    EXPECT_EQ(PurgeDirectory(dir.c_str(), "", PURGE_RECURSIVE), 0);
    EXPECT_TRUE(PathExists(dir + "s1\\s2\\locked.txt"));
    EXPECT_FALSE(PathExists(dir + "a.txt"));
    EXPECT_NE(PurgeDirectory(dir.c_str(), "", PURGE_RECURSIVE | PURGE_FORCE), 0);
    EXPECT_FALSE(PathExists(dir));
}

TEST(PurgeDirectory, UnknownFlagBitsAreIgnored) {
    std::string dir = MakeScratchDirectory("purge_bits");
    MakeTree(dir, {"a.txt", "locked.txt", "sub\\"});
    MakeReadOnly(dir + "locked.txt");
    EXPECT_EQ(PurgeDirectory(dir.c_str(), "", ~(uint32_t)(PURGE_RECURSIVE | PURGE_FORCE)), 0);
    EXPECT_FALSE(PathExists(dir + "a.txt"));
    EXPECT_TRUE(PathExists(dir + "locked.txt"));
    EXPECT_TRUE(PathExists(dir + "sub"));
    SetFileAttributesA((dir + "locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(PurgeDirectory, PatternDeletesMatchingFilesAndKeepsDirectories) {
    std::string dir = MakeScratchDirectory("purge_pattern");
    MakeTree(dir, {"a.tmp", "b.txt", "dir.tmp\\", "dir.tmp\\c.tmp", "s1\\", "s1\\d.tmp", "s1\\s2\\", "s1\\s2\\e.tmp",
                   "s1\\s2\\f.txt"});
    EXPECT_EQ(PurgeDirectory(dir.c_str(), "*.tmp"), 1);
    EXPECT_FALSE(PathExists(dir + "a.tmp"));
    EXPECT_TRUE(PathExists(dir + "b.txt"));
    EXPECT_TRUE(PathExists(dir + "dir.tmp\\c.tmp"));   // a matching directory is not a file
    EXPECT_TRUE(PathExists(dir + "s1\\d.tmp"));

    WriteWholeFile(dir + "a.tmp", "again");
    EXPECT_EQ(PurgeDirectory(dir.c_str(), "*.tmp", PURGE_RECURSIVE), 1);
    for (const char* gone : {"a.tmp", "dir.tmp\\c.tmp", "s1\\d.tmp", "s1\\s2\\e.tmp"})
        EXPECT_FALSE(PathExists(dir + gone)) << gone;
    for (const char* kept : {"b.txt", "dir.tmp", "s1\\s2", "s1\\s2\\f.txt"})
        EXPECT_TRUE(PathExists(dir + kept)) << kept;
}

TEST(PurgeDirectory, PatternMatchingNothingHereYieldsZero) {
    std::string dir = MakeScratchDirectory("purge_nomatch");
    MakeTree(dir, {"b.txt", "s1\\", "s1\\d.tmp"});
    EXPECT_EQ(PurgeDirectory(dir.c_str(), "*.tmp"), 0);
    EXPECT_TRUE(PathExists(dir + "s1\\d.tmp"));
    // The sub-directory pass has already run when this directory finds nothing.
    EXPECT_EQ(PurgeDirectory(dir.c_str(), "*.tmp", PURGE_RECURSIVE), 0);
    EXPECT_FALSE(PathExists(dir + "s1\\d.tmp"));
    EXPECT_TRUE(PathExists(dir + "b.txt"));
}

TEST(PurgeDirectory, PatternWithForceDeletesReadOnlyFiles) {
    std::string dir = MakeScratchDirectory("purge_pattern_ro");
    MakeTree(dir, {"a.tmp", "b.tmp"});
    MakeReadOnly(dir + "a.tmp");
    EXPECT_EQ(PurgeDirectory(dir.c_str(), "*.tmp"), 1);
    EXPECT_TRUE(PathExists(dir + "a.tmp"));
    EXPECT_EQ(PurgeDirectory(dir.c_str(), "*.tmp", PURGE_FORCE), 1);
    EXPECT_FALSE(PathExists(dir + "a.tmp"));
    EXPECT_TRUE(PathExists(dir));
}

TEST(PurgeDirectory, NamesThatDoNotFitThePathBufferAreSkipped) {
    // A directory whose path is nearly MAX_PATH long, holding one name that
    // fits after it and one that does not.
    std::string dir = MakeScratchDirectory("purge_fit");
    std::string deep = dir;
    while (deep.size() < 240) {
        deep += std::string(std::min<size_t>(50, 245 - deep.size()), 'd') + "\\";
        CreateDirectoryA(deep.c_str(), nullptr);
    }
    ASSERT_TRUE(PathExists(deep));
    // The longest name a component may have: joined without a check it would
    // run far past the buffer.
    std::string longName = deep + std::string(255, 'n');
    HANDLE file = CreateFileW(LongPath(longName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    const char* shortNames[] = {"s", "t", "u", "v", "w"};
    for (const char* name : shortNames) WriteWholeFile(deep + name, "short");

    EXPECT_EQ(PurgeDirectory(deep.c_str(), ""), 0);
    for (const char* name : shortNames) EXPECT_FALSE(PathExists(deep + name)) << name;
    EXPECT_TRUE(LongPathExists(longName));
    WriteWholeFile(deep + "s", "short");
    EXPECT_EQ(PurgeDirectory(deep.c_str(), std::string(40, '*').c_str()), 0);   // pattern too long
    EXPECT_TRUE(PathExists(deep + "s"));
    EXPECT_EQ(PurgeDirectory(Padded(dir, '\\', 300).c_str(), ""), 0);   // base alone fills the buffer
    EXPECT_TRUE(PathExists(dir));
    DeleteFileW(LongPath(longName).c_str());
}
