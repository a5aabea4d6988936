// The text helpers every converter and the configuration file stand on.
#include <gtest/gtest.h>

#include <cmath>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {
namespace {

TEST(Text, ValReadsTheLeadingNumberOnly) {
  const std::pair<const char*, double> cases[] = {
      {"12", 12},  {"  12abc", 12}, {"1 2 3", 123}, {"1.5", 1.5},   {"1,5", 1},   {".5", 0.5}, {"-5", -5},
      {"- 5", -5}, {"+7", 7},       {"1.2.3", 1.2}, {"2e3", 2000}, {"2e", 2},    {"2E-1", 0.2}, {"250ms", 250},
      {"", 0},     {"   ", 0},      {"abc", 0},     {"-", 0},      {".", 0},     {"x12", 0},  {"+", 0}};
  for (auto [text, value] : cases) EXPECT_DOUBLE_EQ(Val(text), value) << text;
  EXPECT_TRUE(std::isfinite(Val(std::string(400, '9'))));
}

TEST(Text, IsNumericAcceptsNumbersWithSurroundingBlanksOnly) {
  for (const char* text : {"0", " 1 ", "-4", "+4", "1.5", ".5", "5.", "1e3", "1E+3"}) EXPECT_TRUE(IsNumeric(text)) << text;
  for (const char* text : {"", "  ", "abc", "1a", "1,5", "1 2", ".", "-", "1e", "COM1", "1.2.3"})
    EXPECT_FALSE(IsNumeric(text)) << text;
}

TEST(Text, RoundsHalvesToTheEvenNeighbour) {
  const std::pair<double, double> cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},       {3.5, 4},      {-0.5, 0},
                                             {-1.5, -2}, {-2.5, -2}, {2.4999, 2},    {2.5001, 3}};
  for (auto [value, rounded] : cases) EXPECT_EQ(RoundHalfEven(value), rounded) << value;
  EXPECT_EQ(RoundToInt32(1e20), 2147483647);
  EXPECT_EQ(RoundToInt32(-1e20), -2147483647 - 1);
}

TEST(Text, UpperCaseAndTrim) {
  // à è é ì ò ù ÿ š get capitals; ÷ and ß have none.
  EXPECT_EQ(UpperAnsi("azkora1.exe\xE0\xE8\xE9\xEC\xF2\xF9\xFF\x9A\xF7\xDF"), "AZKORA1.EXE\xC0\xC8\xC9\xCC\xD2\xD9\x9F\x8A\xF7\xDF");
  EXPECT_EQ(TrimLeft("  a b  "), "a b  ");
  EXPECT_EQ(TrimRight("  a b  "), "  a b");
  EXPECT_EQ(Trim("    "), "");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");  // tabs are not blanks
}

TEST(Text, CrOrCrLfEndsALineButLfAloneDoesNot) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd\r\n"), (std::vector<std::string>{"a", "b", "c\nd"}));
  EXPECT_EQ(SplitLines(""), (std::vector<std::string>{}));
  EXPECT_EQ(SplitLines("a\r\r\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitLines(std::string("a\0b\r\n", 5)), (std::vector<std::string>{std::string("a\0b", 3)}));
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(Text, FormatNumberPrintsLikeTheSystem) {
  const std::pair<double, const char*> cases[] = {{2, "2"},   {2.5, "2.5"},       {0.25, "0.25"},
                                                  {-3, "-3"}, {0.0004, "0.0004"}, {1e20, "100000000000000000000"}};
  for (auto [value, text] : cases) EXPECT_EQ(FormatNumber(value), text) << value;
}

TEST(Text, FilePatternsAndPaths) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"abc.001", "*.001", true}, {"ABC.002", "*.001", false}, {"ABC.00X", "*.00?", true}, {"NOEXT", "*.*", true},
      {"A", "*", true},           {"A.001.TMP", "*.001", false}, {"AB", "A**B", true},    {"AXB", "A**", true},
      {"ABC.001", "ABC.001**", true}};
  for (auto [name, pattern, match] : cases) EXPECT_EQ(MatchesPattern(name, pattern), match) << name << " " << pattern;
  EXPECT_FALSE(MatchesPattern(std::string(5000, 'a') + "b", std::string(50, '*') + "c"));
  EXPECT_EQ(DirName("f.txt"), "");
}

}  // namespace
}  // namespace dorvane
