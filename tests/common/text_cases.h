// Text operation cases shared by the host test program and the Windows one, so
// that the stub's size-optimised build of the same code is held to the same
// results as the host build.
#pragma once
#include <gtest/gtest.h>
#include <stdint.h>

#include <string>

#include "strings/text.h"

namespace {
// A text result as a std::string, with a null result told apart from "".
std::string Str(Text text) { return text ? std::string(text) : std::string("<null>"); }
}   // namespace

TEST(FindInText, FindsFromTheStartPositionOnward) {
    EXPECT_EQ(FindInText("abcabc", "c", 1), 3);
    EXPECT_EQ(FindInText("abcabc", "c", 4), 6);
    EXPECT_EQ(FindInText("abcabc", "c", 7), 0);
    EXPECT_EQ(FindInText("abcabc", "abc", 2), 4);
    EXPECT_EQ(FindInText("abcabc", "abc", 5), 0);   // would stick out of the text
    EXPECT_EQ(FindInText("aaa", "aa", 1), 1);
    EXPECT_EQ(FindInText("C:\\a\\b", "\\", 4), 5);
}

TEST(FindInText, StartBelowOneCountsAsOne) {
    for (int32_t start : {0, -1, -100, INT32_MIN}) {
        EXPECT_EQ(FindInText("abcabc", "c", start), 3) << start;
        EXPECT_EQ(FindInText("abcabc", "a", start), 1) << start;
    }
}

TEST(FindInText, StartAtOrBeyondTheEnd) {
    EXPECT_EQ(FindInText("abcabc", "c", 6), 6);    // only the last byte is examined
    EXPECT_EQ(FindInText("abcabc", "bc", 6), 0);   // longer than what is left
    EXPECT_EQ(FindInText("abcabc", "c", 100), 0);
    EXPECT_EQ(FindInText("abcabc", "c", INT32_MAX), 0);
    EXPECT_EQ(FindInText("abcabc", "bc", INT32_MAX), 0);
    EXPECT_EQ(FindInText("abcabc", "abc", INT32_MAX - 1), 0);
}

TEST(FindInText, MissingOrEmptyTextOrPatternFindsNothing) {
    EXPECT_EQ(FindInText("abc", "", 1), 0);
    EXPECT_EQ(FindInText("abc", nullptr, 1), 0);
    EXPECT_EQ(FindInText("", "a", 1), 0);
    EXPECT_EQ(FindInText(nullptr, "a", 1), 0);
    EXPECT_EQ(FindInText(nullptr, nullptr, 1), 0);
    EXPECT_EQ(FindInText("ab", "abc", 1), 0);
}

TEST(FindInText, ComparesBytesExactly) {
    EXPECT_EQ(FindInText("ABC", "b", 1), 0);
    EXPECT_EQ(FindInText("ABC", "B", 1), 2);
    EXPECT_EQ(FindInText("x\xe8\xe9y", "\xe9", 1), 3);   // bytes above 127 are plain bytes
}

TEST(LeftOfText, TakesAtMostTheWholeText) {
    EXPECT_EQ(Str(LeftOfText("abcdef", 3)), "abc");
    EXPECT_EQ(Str(LeftOfText("abcdef", 6)), "abcdef");
    EXPECT_EQ(Str(LeftOfText("abcdef", 100)), "abcdef");
    EXPECT_EQ(Str(LeftOfText("abcdef", INT32_MAX)), "abcdef");
    EXPECT_EQ(Str(LeftOfText("abcdef", 0)), "");
    EXPECT_EQ(Str(LeftOfText("abcdef", -5)), "");
    EXPECT_EQ(Str(LeftOfText("abcdef", INT32_MIN)), "");
    EXPECT_EQ(Str(LeftOfText(nullptr, 3)), "");
    EXPECT_EQ(Str(LeftOfText("", 3)), "");
}

TEST(TrimText, SpacesOnlyTrimToEmpty) {
    EXPECT_EQ(Str(TrimTextLeft("   ")), "");
    EXPECT_EQ(Str(TrimTextRight("   ")), "");
    EXPECT_EQ(Str(TrimTextLeft("")), "");
    EXPECT_EQ(Str(TrimTextRight("")), "");
    EXPECT_EQ(Str(TrimTextLeft(nullptr)), "");
    EXPECT_EQ(Str(TrimTextRight(nullptr)), "");
}

TEST(TrimText, RemovesOnlyTheOuterRunOfSpaces) {
    EXPECT_EQ(Str(TrimTextLeft("  a b  ")), "a b  ");
    EXPECT_EQ(Str(TrimTextRight("  a b  ")), "  a b");
    EXPECT_EQ(Str(TrimTextRight("a b")), "a b");
    EXPECT_EQ(Str(TrimTextLeft("a b")), "a b");
    EXPECT_EQ(Str(TrimTextRight("a  b  ")), "a  b");
}

TEST(TrimText, OtherBlanksStopTheRun) {
    EXPECT_EQ(Str(TrimTextLeft("\t a")), "\t a");
    EXPECT_EQ(Str(TrimTextLeft(" \t a")), "\t a");
    EXPECT_EQ(Str(TrimTextRight("a \t")), "a \t");
    EXPECT_EQ(Str(TrimTextRight("a\r\n ")), "a\r\n");
}

TEST(TrimText, TrimCharacterIsTheFirstByteOfItsText) {
    EXPECT_EQ(Str(TrimTextLeft("xxa xx", "x")), "a xx");
    EXPECT_EQ(Str(TrimTextRight("xxa xx", "x")), "xxa ");
    EXPECT_EQ(Str(TrimTextRight("xxa xx", "xyz")), "xxa ");
    EXPECT_EQ(Str(TrimTextLeft("  a", nullptr)), "a");   // missing: a space
    EXPECT_EQ(Str(TrimTextLeft("  a", "")), "  a");      // empty: nothing
    EXPECT_EQ(Str(TrimTextRight("a  ", "")), "a  ");
    EXPECT_EQ(Str(TrimTextLeft("\\\\a\\", "\\")), "a\\");
}

TEST(TextOperations, ResultsNestAndArgumentsStayUnchanged) {
    char line[] = "  key value  ";
    EXPECT_EQ(Str(TrimTextLeft(TrimTextRight(line))), "key value");
    EXPECT_EQ(Str(LeftOfText(line, 5)), "  key");
    EXPECT_EQ(Str(ConcatText(LeftOfText(line, 5), "=", TrimTextLeft(line))), "  key=key value  ");
    EXPECT_STREQ(line, "  key value  ");
}

TEST(TextEquals, MissingEqualsEmptyAndBytesMustMatch) {
    EXPECT_TRUE(TextEquals("", nullptr));
    EXPECT_TRUE(TextEquals(nullptr, ""));
    EXPECT_TRUE(TextEquals(nullptr, nullptr));
    EXPECT_TRUE(TextEquals(".\\", ".\\"));
    EXPECT_FALSE(TextEquals("a ", "a"));
    EXPECT_FALSE(TextEquals("a", "a "));
    EXPECT_FALSE(TextEquals("A", "a"));
    EXPECT_FALSE(TextEquals("a", nullptr));
    EXPECT_FALSE(TextEquals(nullptr, "a"));
}

TEST(TextLength, CountsBytes) {
    EXPECT_EQ(TextLength(nullptr), 0);
    EXPECT_EQ(TextLength(""), 0);
    EXPECT_EQ(TextLength("abc"), 3);
    EXPECT_EQ(TextLength("\xe8\xe9 \t"), 4);
}

TEST(ConcatText, MissingPartsAddNothing) {
    EXPECT_EQ(Str(ConcatText("C:\\dir", "\\", "file.txt")), "C:\\dir\\file.txt");
    EXPECT_EQ(Str(ConcatText(nullptr, "a", nullptr, "", "b")), "ab");
    EXPECT_EQ(Str(ConcatText(nullptr, nullptr)), "");
    EXPECT_EQ(Str(ConcatText("1", "2", "3", "4", "5", "6")), "123456");
    EXPECT_EQ(TextLength(ConcatText(std::string(300, 'x').c_str(), "yz")), 302);
}

TEST(AssignText, KeepsAPrivateCopy) {
    TextVar variable = {};
    EXPECT_EQ(variable.text, nullptr);   // starts missing and reads as empty
    EXPECT_TRUE(TextEquals(variable.text, ""));

    char source[] = "first";
    AssignText(&variable, source);
    source[0] = 'F';
    EXPECT_EQ(Str(variable.text), "first");

    AssignText(&variable, ConcatText(variable.text, " second"));
    EXPECT_EQ(Str(variable.text), "first second");
    AssignText(&variable, variable.text);   // its own text
    EXPECT_EQ(Str(variable.text), "first second");

    AssignText(&variable, "");   // present, though empty: a copy of its own
    ASSERT_NE(variable.text, nullptr);
    EXPECT_EQ(Str(variable.text), "");

    AssignText(&variable, nullptr);   // missing again
    EXPECT_EQ(variable.text, nullptr);
}

TEST(ReadTextAt, CopiesUpToTheFirstNul) {
    const char entry[] = "dir\\name.txt\0\x05\0\0\0";
    EXPECT_EQ(Str(ReadTextAt(entry)), "dir\\name.txt");
    EXPECT_EQ(Str(ReadTextAt(entry + 4)), "name.txt");
    EXPECT_EQ(Str(ReadTextAt(entry + 12)), "");   // first byte NUL
    EXPECT_EQ(Str(ReadTextAt(nullptr)), "");

    char buffer[] = "abc";
    Text copy = ReadTextAt(buffer);
    buffer[0] = 'X';
    EXPECT_EQ(Str(copy), "abc");
}

TEST(ReadInt32At, LittleEndianSignedAtAnyAlignment) {
    const unsigned char bytes[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF,
                                   0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x80};
    EXPECT_EQ(ReadInt32At(bytes + 1), -1);   // odd address
    EXPECT_EQ(ReadInt32At(bytes + 5), -2);
    EXPECT_EQ(ReadInt32At(bytes + 9), 0x04030201);
    EXPECT_EQ(ReadInt32At(bytes + 13), INT32_MIN);
    EXPECT_EQ(ReadInt32At(bytes + 2), (int32_t)0xFEFFFFFF);   // FF FF FF FE: last byte most significant
}
