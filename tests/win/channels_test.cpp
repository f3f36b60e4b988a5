#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/channels.h"
#include "files/object_table.h"
#include "scratch.h"
#include "support/heap.h"

namespace {
// Bytes that vary with the seed and hold every value, terminators included.
std::string Pattern(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (size_t index = 0; index < size; ++index) bytes[index] = char((index * 7 + seed * 13 + (index >> 9)) & 0xFF);
    return bytes;
}

std::string Read(int32_t number, int32_t length) {
    std::string bytes(length, '\0');
    bytes.resize(ReadChannelBytes(number, &bytes[0], length));
    return bytes;
}

// Where the platform file pointer stands; opens on a number return the handle.
int64_t PlatformPosition(int32_t handle) { return SetFilePointer((HANDLE)(intptr_t)handle, 0, 0, FILE_CURRENT); }

struct ChannelTest : testing::Test {
    std::string directory = MakeScratchDirectory("channels");
    void TearDown() override { CloseAllChannels(); }
    std::string Path(const char* name) { return directory + name; }
    std::string FileBytes(const char* name) { return ReadWholeFile(Path(name)); }
};
}   // namespace

// Random reads, writes, seeks, end tests and length queries on one channel,
// checked against a model of the file and the caller's position.
TEST_F(ChannelTest, MixedTransfersKeepTheCallersPositionAndTheFileRight) {
    const int32_t sizes[] = {1, 2, 3, 4, 100, 4095, 4096, 4097, 6000, 10000};
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        std::string model = Pattern(9000, seed);
        WriteWholeFile(Path("mixed"), model);
        ASSERT_NE(OpenChannelForUpdate(7, Path("mixed").c_str()), 0);
        size_t position = 0;
        uint32_t random = seed;
        for (int step = 0; step < 300; ++step) {
            random = random * 1103515245u + 12345u;
            uint32_t choice = random >> 8;
            int32_t size = sizes[choice % 10];
            SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step << " at " << position);
            switch (choice / 10 % 6) {
            case 0:
            case 1:
                ASSERT_EQ(Read(7, size), model.substr(std::min(position, model.size()), size));
                position = std::min(position + size, model.size());
                break;
            case 2:
            case 3: {
                std::string bytes = Pattern(size, choice);
                ASSERT_EQ(WriteChannelBytes(7, bytes.data(), size), size);
                if (model.size() < position + size) model.resize(position + size);
                model.replace(position, size, bytes);
                position += size;
                break;
            }
            case 4:
                ASSERT_EQ(ChannelAtEnd(7), position == model.size() ? 1 : 0);
                break;
            default:
                if (choice & 1) {
                    ASSERT_EQ(ChannelLength(7), (int64_t)model.size());
                } else {
                    position = (choice >> 3) % (model.size() + 1);
                    ASSERT_EQ(SeekChannel(7, position), position);
                }
            }
        }
        CloseChannel(7);
        ASSERT_EQ(FileBytes("mixed"), model) << "seed " << seed;
    }
}

TEST_F(ChannelTest, SwitchingDirectionContinuesWhereTheCallerStands) {
    WriteWholeFile(Path("switch"), "0123456789");
    OpenChannelForUpdate(1, Path("switch").c_str());
    WriteChannelBytes(1, "ab", 2);
    EXPECT_EQ(Read(1, 3), "234");    // right after the written bytes
    WriteChannelBytes(1, "XY", 2);   // after the consumed bytes, not after the read-ahead
    EXPECT_EQ(Read(1, 10), "789");
    CloseChannel(1);
    EXPECT_EQ(FileBytes("switch"), "ab234XY789");
}

TEST_F(ChannelTest, LargeTransfersGoStraightToTheFile) {
    std::string model = Pattern(30000, 3);
    WriteWholeFile(Path("large"), model);
    int32_t handle = OpenChannelForUpdate(1, Path("large").c_str());
    EXPECT_EQ(Read(1, 10000), model.substr(0, 10000));
    EXPECT_EQ(PlatformPosition(handle), 10000);   // one direct read, nothing read ahead
    EXPECT_EQ(Read(1, 100), model.substr(10000, 100));
    EXPECT_EQ(PlatformPosition(handle), 14096);   // one refill
    EXPECT_EQ(Read(1, 10000), model.substr(10100, 10000));
    EXPECT_EQ(PlatformPosition(handle), 20100);   // the read-ahead, then the rest directly

    // A write that would fill the buffer completely sends the buffer out first.
    std::string bytes = Pattern(4095, 4) + "z" + Pattern(10000, 5);
    EXPECT_EQ(WriteChannelBytes(1, bytes.data(), 4095), 4095);
    EXPECT_EQ(PlatformPosition(handle), 20100);
    EXPECT_EQ(WriteChannelBytes(1, bytes.data() + 4095, 1), 1);
    EXPECT_EQ(PlatformPosition(handle), 24195);
    EXPECT_EQ(WriteChannelBytes(1, bytes.data() + 4096, 10000), 10000);
    EXPECT_EQ(PlatformPosition(handle), 34196);   // pending byte, then the 10,000 directly
    CloseChannel(1);
    model.replace(20100, bytes.size(), bytes);
    EXPECT_EQ(FileBytes("large"), model);
}

TEST_F(ChannelTest, LinesEndAtEveryTerminatorForm) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb", {"a", "b"}},
        {"a\rb", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {std::string("a\0b\n", 4), {"a", "b"}},
        {"x\r", {"x"}},
        {"\r\n\n", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {std::string("a\r\0b", 4), {"a", "", "b"}},   // the zero after CR is left for the next line
        {"\xff\x80\x01\t \r\n", {"\xff\x80\x01\t "}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::PrintToString(test.bytes));
        WriteWholeFile(Path("lines"), test.bytes);
        OpenChannelForRead(1, Path("lines").c_str());
        for (const std::string& line : test.lines) EXPECT_EQ(ReadChannelLine(1), line);
        EXPECT_EQ(ChannelAtEnd(1), 1);
        EXPECT_STREQ(ReadChannelLine(1), "");
        CloseChannel(1);
    }
    EXPECT_STREQ(ReadChannelLine(9), "");   // not open
}

TEST_F(ChannelTest, LongLinesAndTerminatorsAcrossRefillsComeBackWhole) {
    std::string longLine;
    for (int index = 0; index < 10000; ++index) longLine += char('A' + index % 26);
    std::vector<std::string> lines = {std::string(4095, 'a'), std::string(4094, 'b'), "c", longLine,
                                      std::string(4095, 'd'), std::string(4096, 'e')};
    // CR LF split by a refill, then CR at a buffer's end followed by a plain byte.
    WriteWholeFile(Path("long"), lines[0] + "\r\n" + lines[1] + "\r" + lines[2] + "\r\n" + lines[3] + "\n" + lines[4] +
                                     "\n" + lines[5]);
    OpenChannelForRead(1, Path("long").c_str());
    for (const std::string& line : lines) EXPECT_EQ(ReadChannelLine(1), line);
    EXPECT_EQ(ChannelAtEnd(1), 1);
    // Gathering must have grown the line, not written past it.
    HANDLE heaps[64];
    DWORD heapCount = GetProcessHeaps(64, heaps);
    for (DWORD index = 0; index < heapCount && index < 64; ++index) EXPECT_TRUE(HeapValidate(heaps[index], 0, 0));
}

TEST_F(ChannelTest, AtEndAnswersWithoutMovingTheCaller) {
    WriteWholeFile(Path("empty"), "");
    OpenChannelForRead(1, Path("empty").c_str());
    EXPECT_EQ(ChannelAtEnd(1), 1);
    EXPECT_EQ(ChannelAtEnd(9), 0);   // not open

    WriteWholeFile(Path("values"), "\x01\x02\x03\x04\x05\x06");
    OpenChannelForRead(2, Path("values").c_str());
    EXPECT_EQ(ChannelAtEnd(2), 0);
    EXPECT_EQ(ReadChannelInt32(2), 0x04030201);
    EXPECT_EQ(ChannelAtEnd(2), 0);
    EXPECT_EQ(ReadChannelInt32(2), 0x0605);   // two bytes left: the low end
    EXPECT_EQ(ChannelAtEnd(2), 1);
    EXPECT_EQ(ReadChannelInt32(2), 0);
    SeekChannel(2, 0);
    EXPECT_EQ(ChannelAtEnd(2), 0);
    SeekChannel(2, ChannelLength(2));
    EXPECT_EQ(ChannelAtEnd(2), 1);

    // In write state the pending bytes go out and reading continues after them.
    WriteWholeFile(Path("update"), "\x01\x02\x03\x04\x05\x06");
    OpenChannelForUpdate(3, Path("update").c_str());
    WriteChannelBytes(3, "AB", 2);
    EXPECT_EQ(ChannelAtEnd(3), 0);
    EXPECT_EQ(FileBytes("update"), "AB\x03\x04\x05\x06");
    EXPECT_EQ(Read(3, 1), "\x03");
}

TEST_F(ChannelTest, ReopeningANumberWritesItsPendingBytesFirst) {
    CreateChannel(1, Path("old").c_str());
    EXPECT_EQ(WriteChannelLine(1, "pending"), 9);
    EXPECT_EQ(OpenChannelForRead(1, Path("missing").c_str()), 0);
    EXPECT_EQ(FileBytes("old"), "pending\r\n");
    EXPECT_EQ(ChannelLength(1), -1);   // a failed open leaves the number not open

    // The old handle shares reads only: the new open works only once it is closed.
    CreateChannel(1, Path("old").c_str());
    WriteChannelBytes(1, "x", 1);
    EXPECT_NE(CreateChannel(1, Path("old").c_str()), 0);
    WriteChannelBytes(1, "y", 1);
    CloseChannel(1);
    EXPECT_EQ(FileBytes("old"), "y");
}

TEST_F(ChannelTest, CloseAllWritesOutAndClosesEveryChannel) {
    const char* names[] = {"n0", "n3", "n40", "any1", "any2"};
    int32_t numbers[] = {0, 3, 40, 0, 0};
    for (int index = 0; index < 5; ++index) {
        int32_t opened = CreateChannel(index < 3 ? numbers[index] : AnyNumber, Path(names[index]).c_str());
        ASSERT_NE(opened, 0);
        if (index >= 3) numbers[index] = opened;   // numberless: named by the identifier
        WriteChannelLine(numbers[index], names[index]);
    }
    CloseAllChannels();
    for (int index = 0; index < 5; ++index) {
        EXPECT_EQ(ChannelLength(numbers[index]), -1) << names[index];
        EXPECT_EQ(FileBytes(names[index]), std::string(names[index]) + "\r\n");
        EXPECT_TRUE(DeleteFileA(Path(names[index]).c_str())) << names[index];   // handle closed
    }
}

TEST_F(ChannelTest, UpdateAppendsAfterSeekingToTheLength) {
    DeleteFileA(Path("append").c_str());
    std::string expected;
    for (const char* line : {"one", "two"}) {
        OpenChannelForUpdate(2, Path("append").c_str());   // the first one creates the file
        SeekChannel(2, ChannelLength(2));
        WriteChannelLine(2, line);
        CloseChannel(2);
        expected += std::string(line) + "\r\n";
        EXPECT_EQ(FileBytes("append"), expected);
    }
}

TEST_F(ChannelTest, CreateTruncatesWriteOnlyAFileItCannotOpenForReading) {
    // Another reader lets others write but not read: only the write-only truncating open gets in.
    WriteWholeFile(Path("shared"), "old contents");
    HANDLE reader = CreateFileA(Path("shared").c_str(), GENERIC_READ, FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    EXPECT_NE(CreateChannel(1, Path("shared").c_str()), 0);
    EXPECT_EQ(ChannelLength(1), 0);
    WriteChannelLine(1, "new");
    SeekChannel(1, 0);
    EXPECT_EQ(Read(1, 5), "");   // write-only: reads deliver nothing
    EXPECT_EQ(ChannelAtEnd(1), 1);
    CloseChannel(1);
    CloseHandle(reader);
    EXPECT_EQ(FileBytes("shared"), "new\r\n");
}

TEST_F(ChannelTest, CreateNewTakesOnlyANameThatNothingHas) {
    DeleteFileA(Path("fresh").c_str());
    EXPECT_NE(CreateNewChannel(1, Path("fresh").c_str()), 0);
    WriteChannelLine(1, "new");
    CloseChannel(1);
    EXPECT_EQ(FileBytes("fresh"), "new\r\n");
    EXPECT_EQ(CreateNewChannel(1, Path("fresh").c_str()), 0);   // not even the file it made itself
    EXPECT_EQ(FileBytes("fresh"), "new\r\n");
}

TEST_F(ChannelTest, ChannelWithoutABufferWorksOnTheFileDirectly) {
    WriteWholeFile(Path("direct"), "ab\r\ncd\rx");
    int32_t handle = OpenChannelForUpdate(4, Path("direct").c_str());
    ChannelRecord* channel = FindChannelRecord(4);   // as if the buffer could not be had at open
    FreeHeapBlock(channel->buffer);
    channel->buffer = 0;
    EXPECT_EQ(ChannelAtEnd(4), 0);
    EXPECT_EQ(PlatformPosition(handle), 0);
    EXPECT_STREQ(ReadChannelLine(4), "ab");
    EXPECT_STREQ(ReadChannelLine(4), "cd");   // the byte after CR is put back through the file
    EXPECT_EQ(PlatformPosition(handle), 7);
    EXPECT_EQ(WriteChannelBytes(4, "yz", 2), 2);
    EXPECT_EQ(PlatformPosition(handle), 9);
    EXPECT_EQ(ChannelAtEnd(4), -1);
    EXPECT_EQ(ChannelLength(4), 9);
    SeekChannel(4, 0);
    EXPECT_EQ(Read(4, 20), "ab\r\ncd\ryz");
    CloseChannel(4);
    EXPECT_EQ(FileBytes("direct"), "ab\r\ncd\ryz");
}

TEST_F(ChannelTest, NumbersNotOpenAndReadOnlyChannelsChangeNothing) {
    EXPECT_EQ(WriteChannelBytes(5, "x", 0), 0);
    EXPECT_EQ(WriteChannelBytes(5, "x", 1), 0);
    EXPECT_EQ(WriteChannelLine(5, "x"), 0);
    EXPECT_EQ(ReadChannelInt32(5), 0);
    EXPECT_EQ(SeekChannel(5, 3), 0u);
    CloseChannel(-1);
    EXPECT_EQ(OpenChannelForRead(AnyNumber, Path("missing").c_str()), 0);

    // Writes to a channel opened for reading are accepted and lost at the flush.
    WriteWholeFile(Path("keep"), "keep");
    OpenChannelForRead(5, Path("keep").c_str());
    EXPECT_EQ(WriteChannelLine(5, ""), 2);
    EXPECT_EQ(WriteChannelLine(5, 0), 2);
    EXPECT_EQ(WriteChannelBytes(5, "lost", 4), 4);
    CloseChannel(5);
    CloseChannel(5);
    EXPECT_EQ(FileBytes("keep"), "keep");
}
