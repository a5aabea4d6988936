// ANSI text helpers shared by the whole core. Files are bytes in the system's
// single-byte code page (Windows-1252 on POSIX); nothing here decodes UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dorvane {

// Value of the leading decimal number of a text: blanks are skipped anywhere
// in the number, "." is the only decimal point, an optional sign may lead,
// and 0 is returned when the text does not start with a number.
double Val(std::string_view text);

// Numeric test as the platform judges a text typed by a user: optional
// surrounding blanks, an optional sign, digits with at most one "." and an
// optional exponent. Empty or blank text is not numeric.
bool IsNumeric(std::string_view text);

// Rounds to the nearest whole number, halves to the even one (banker's rounding).
double RoundHalfEven(double value);
// Same, clamped into a 32-bit signed integer.
std::int32_t RoundToInt32(double value);

// Upper case in Windows-1252: ASCII letters and the accented Latin letters.
char UpperAnsi(char c);
std::string UpperAnsi(std::string_view text);

std::string TrimLeft(std::string_view text);   // leading blanks only
std::string TrimRight(std::string_view text);  // trailing blanks only
std::string Trim(std::string_view text);       // both ends

// Splits bytes into lines. CR LF or a lone CR ends a line; a lone LF is an
// ordinary character. A last line without terminator is still returned; an
// empty input gives no lines.
std::vector<std::string> SplitLines(std::string_view bytes);

// Reads one line at a time with the same rule, for readers that stop early.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : bytes_(bytes) {}
  bool AtEnd() const { return pos_ >= bytes_.size(); }
  // Returns false at end of input.
  bool ReadLine(std::string& line);

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

inline constexpr std::string_view kCrLf = "\r\n";
// Appends text followed by CR LF.
void AppendLine(std::string& out, std::string_view line);
// Joins lines, each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// Decimal text of a number as the system prints it: no exponent, no trailing
// zeros, "." as separator ("2", "2.5", "0.25", "-3").
std::string FormatNumber(double value);

// The Unicode character of a Windows-1252 byte; the five bytes the code page
// leaves undefined stand for the C1 control of the same number, as on Windows.
char32_t AnsiToUnicode(unsigned char byte);
// The Windows-1252 byte of a character; false when the code page has none.
bool UnicodeToAnsi(char32_t c, char& byte);
// Appends a character in UTF-8.
void AppendUtf8(std::string& out, char32_t c);
// Decodes one UTF-8 character at s[i] and moves i past it; false when the
// bytes are not valid UTF-8 (overlong forms, surrogates, above U+10FFFF).
bool NextUtf8(std::string_view s, std::size_t& i, char32_t& c);
bool IsValidUtf8(std::string_view text);
// Windows-1252 bytes to UTF-8, every byte kept.
std::string Cp1252ToUtf8(std::string_view bytes);
// A file or folder name as UTF-8, as the system has it: on Windows the
// program's names are Windows-1252; elsewhere a name that is valid UTF-8 is
// kept as it is, and any other bytes are read as Windows-1252.
std::string NameToUtf8(std::string_view name);
// UTF-8 to Windows-1252; a character it cannot hold becomes "?".
std::string Utf8ToCp1252(std::string_view text);
// Appends UTF-8 text as a quoted JSON string.
void AppendJsonString(std::string& out, std::string_view utf8);

bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);
bool ContainsNoCase(std::string_view text, std::string_view part);
bool EqualsNoCase(std::string_view a, std::string_view b);
inline bool StartsWithDot(std::string_view name) { return !name.empty() && name.front() == '.'; }

}  // namespace dorvane
