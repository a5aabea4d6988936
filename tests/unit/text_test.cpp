// The text helpers every converter and the configuration file stand on.
#include <gtest/gtest.h>

#include <cmath>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {
namespace {

TEST(Val, ReadsTheLeadingNumberOnly) {
  EXPECT_DOUBLE_EQ(Val("12"), 12);
  EXPECT_DOUBLE_EQ(Val("  12abc"), 12);
  EXPECT_DOUBLE_EQ(Val("1 2 3"), 123);  // blanks inside the number are skipped
  EXPECT_DOUBLE_EQ(Val("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(Val("1,5"), 1);  // only "." is a decimal point
  EXPECT_DOUBLE_EQ(Val(".5"), 0.5);
  EXPECT_DOUBLE_EQ(Val("-5"), -5);
  EXPECT_DOUBLE_EQ(Val("- 5"), -5);
  EXPECT_DOUBLE_EQ(Val("1.2.3"), 1.2);
  EXPECT_DOUBLE_EQ(Val("2e3"), 2000);
  EXPECT_DOUBLE_EQ(Val("2e"), 2);
  EXPECT_DOUBLE_EQ(Val("250ms"), 250);
}

TEST(Val, GivesZeroWithoutANumber) {
  for (const char* text : {"", "   ", "abc", "-", ".", "x12", "+"}) EXPECT_EQ(Val(text), 0) << text;
}

TEST(Val, SurvivesHugeNumbers) {
  EXPECT_GT(Val(std::string(400, '9')), 1e300);
  EXPECT_TRUE(std::isfinite(Val(std::string(400, '9'))));
}

TEST(IsNumeric, AcceptsNumbersWithSurroundingBlanks) {
  for (const char* text : {"0", " 1 ", "-4", "+4", "1.5", ".5", "5.", "1e3", " 2 "}) EXPECT_TRUE(IsNumeric(text)) << text;
}

TEST(IsNumeric, RejectsEverythingElse) {
  for (const char* text : {"", "  ", "abc", "1a", "1,5", "1 2", ".", "-", "1e", "COM1", "1.2.3"})
    EXPECT_FALSE(IsNumeric(text)) << text;
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(2.5001), 3);
  EXPECT_EQ(RoundToInt32(1e20), 2147483647);
  EXPECT_EQ(RoundToInt32(-1e20), -2147483647 - 1);
}

TEST(UpperAnsi, UpperCasesWindows1252Letters) {
  EXPECT_EQ(UpperAnsi("kkora1.exe"), "KKORA1.EXE");
  // à è é ì ò ù -> À È É Ì Ò Ù; ÷ and ß have no capital; ÿ -> Ÿ, š -> Š
  EXPECT_EQ(UpperAnsi("\xE0\xE8\xE9\xEC\xF2\xF9"), "\xC0\xC8\xC9\xCC\xD2\xD9");
  EXPECT_EQ(UpperAnsi("\xF7\xDF"), "\xF7\xDF");
  EXPECT_EQ(UpperAnsi("\xFF\x9A"), "\x9F\x8A");
  EXPECT_EQ(UpperAnsi("Compatibilit\xE0"), "COMPATIBILIT\xC0");
}

TEST(Trim, RemovesBlanksOnlyAtTheRightEnds) {
  EXPECT_EQ(TrimLeft("  a b  "), "a b  ");
  EXPECT_EQ(TrimRight("  a b  "), "  a b");
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("    "), "");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");  // tabs are not blanks
}

TEST(Lines, CrOrCrLfEndsALineButLfAloneDoesNot) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd\r\n"), (std::vector<std::string>{"a", "b", "c\nd"}));
  EXPECT_EQ(SplitLines("last"), (std::vector<std::string>{"last"}));
  EXPECT_EQ(SplitLines(""), (std::vector<std::string>{}));
  EXPECT_EQ(SplitLines("\r\n\r\n"), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(SplitLines("a\r\r\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitLines(std::string("a\0b\r\n", 5)), (std::vector<std::string>{std::string("a\0b", 3)}));
}

TEST(Lines, WritingEndsEveryLineWithCrLf) {
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  std::string out;
  AppendLine(out, "x");
  EXPECT_EQ(out, "x\r\n");
}

TEST(FormatNumber, PrintsLikeTheSystem) {
  EXPECT_EQ(FormatNumber(2), "2");
  EXPECT_EQ(FormatNumber(2.5), "2.5");
  EXPECT_EQ(FormatNumber(0.25), "0.25");
  EXPECT_EQ(FormatNumber(-3), "-3");
  EXPECT_EQ(FormatNumber(60000), "60000");
  EXPECT_EQ(FormatNumber(0.0004), "0.0004");
  EXPECT_EQ(FormatNumber(1e20), "100000000000000000000");
}

TEST(Paths, MatchesFilePatternsIgnoringCase) {
  EXPECT_TRUE(MatchesPattern("ABC.001", "*.001"));
  EXPECT_TRUE(MatchesPattern("abc.001", "*.001"));
  EXPECT_FALSE(MatchesPattern("ABC.002", "*.001"));
  EXPECT_TRUE(MatchesPattern("ABC.00X", "*.00?"));
  EXPECT_TRUE(MatchesPattern("NOEXT", "*.*"));
  EXPECT_TRUE(MatchesPattern("A", "*"));
  EXPECT_FALSE(MatchesPattern("A.001.TMP", "*.001"));
  EXPECT_FALSE(MatchesPattern(std::string(5000, 'a') + "b", std::string(50, '*') + "c"));
  EXPECT_EQ(BaseName(std::string("dir") + kPathSep + "f.txt"), "f.txt");
  EXPECT_EQ(DirName(std::string("dir") + kPathSep + "f.txt"), "dir");
  EXPECT_EQ(DirName("f.txt"), "");
}

}  // namespace
}  // namespace dorvane
