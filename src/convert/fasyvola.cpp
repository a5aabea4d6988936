#include "convert/fasyvola.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {

// Characters p .. p+n-1 (columns counted from 1), cut short by the end of the
// line, blanks trimmed.
std::string_view Field(std::string_view line, std::size_t p, std::size_t n) {
  if (line.size() < p) return {};
  std::string_view field = line.substr(p - 1, n);
  std::size_t b = 0, e = field.size();
  while (b < e && field[b] == ' ') ++b;
  while (e > b && field[e - 1] == ' ') --e;
  return field.substr(b, e - b);
}

void AppendWithoutSeparators(std::string& out, std::string_view text) {
  for (char c : text)
    if (c != '.' && c != ',') out += c;
}

// Val of a numeric column. The plain whole numbers these columns hold are
// read here, without Val's copy and strtod, which cost more than the rest of
// the record; a sign, point, exponent or more than 15 digits go to Val.
double ColumnValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  std::int64_t value = 0;
  int digits = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == ' ' || c == '\t') continue;  // Val skips blanks inside a number too
    if (c >= '0' && c <= '9') {
      if (++digits > 15) return Val(text);
      value = value * 10 + (c - '0');
    } else if (c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-') {
      return Val(text);
    } else {
      break;
    }
  }
  return static_cast<double>(value);
}

// A number as the discount field holds it: optional sign, digits with at most
// one "," or "." as decimal separator, nothing else. Gives it in hundredths,
// further decimals rounded half to even. Hundredths must fit 32 bits: the
// printer's operands are no wider, and a cut operand would print a wrong sum.
Status ParseHundredths(std::string_view text, std::int64_t& hundredths) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string whole, fraction;
  bool separator = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      (separator ? fraction : whole) += c;
    } else if ((c == ',' || c == '.') && !separator) {
      separator = true;
    } else {
      return Status::Of(kErrTypeMismatch);
    }
  }
  if (whole.empty() && fraction.empty()) return Status::Of(kErrTypeMismatch);

  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (char c : whole) {
    value = value * 10 + (c - '0');
    if (value > kLimit) return Status::Of(kErrOverflow);
  }
  for (std::size_t k = 0; k < 2; ++k) value = value * 10 + (k < fraction.size() ? fraction[k] - '0' : 0);
  if (fraction.size() > 2) {
    int next = fraction[2] - '0';
    bool beyond = fraction.find_first_not_of('0', 3) != std::string::npos;
    if (next > 5 || (next == 5 && (beyond || value % 2 != 0))) ++value;
  }
  if (value > kLimit + (negative ? 1 : 0)) return Status::Of(kErrOverflow);
  hundredths = negative ? -value : value;
  return Status::Ok();
}

std::string FormatTwoDecimals(std::int64_t hundredths) {
  std::string sign = hundredths < 0 ? "-" : "";
  std::int64_t magnitude = hundredths < 0 ? -hundredths : hundredths;
  std::string cents = std::to_string(magnitude % 100);
  if (cents.size() < 2) cents.insert(0, "0");
  return sign + std::to_string(magnitude / 100) + "." + cents;
}

std::string WholeNumber(double value) {
  double whole = RoundHalfEven(value);
  // Below 10^15 FormatNumber prints a whole number as its plain digits.
  if (std::fabs(whole) < 1e15) return std::to_string(static_cast<long long>(whole));
  return FormatNumber(whole);
}

std::string PaymentKeyword(double code) {
  if (code == 1 || code == 5) return "CASH,V";
  if (code == 2) return "CHEQ,V";
  if (code == 3) return "CARD,V";
  if (code == 4 || code == 40) return "TEND,N4,V";
  return {};
}

// Each record's command is appended to the output as it is built.
class Converter {
 public:
  explicit Converter(bool invert) : invert_(invert) {}

  void Record(std::string_view line, FasyVolaText& result) {
    double kind = ColumnValue(line.substr(0, 2));
    if (kind == 0) {
      receiptOpen_ = true;
      return;
    }
    if (!receiptOpen_) return;
    std::string& out = result.output;
    if (kind == 1 || kind == 3) {
      Sale(line, kind == 3, out);
    } else if (kind == 4) {
      Discount(line, result);
    } else if (kind == 5) {
      out += "PRNT,:";
      out += Field(line, 5, 50);
      out += ";\r\n";
    } else if (kind == 6) {
      Payment(line, result);
    }
  }

 private:
  void Sale(std::string_view line, bool isReturn, std::string& out) {
    out += "PLUD,C1,N";
    out += WholeNumber(ColumnValue(Field(line, 38, 3)));
    out += ",P";
    AppendWithoutSeparators(out, Field(line, 28, 10));
    out += ",:";
    out += Field(line, 41, 42);
    std::string_view quantity = Field(line, 83, 10);
    if (ColumnValue(quantity) != 0) {
      out += ",Q";
      out += quantity;
    }
    if (isReturn) out += ",R";
    out += ";\r\n";
    lastWasReturn_ = isReturn;
  }

  void Discount(std::string_view line, FasyVolaText& result) {
    std::string text(Field(line, 3, 42));
    bool onLastLine = ColumnValue(Field(line, 45, 3)) == 0;
    bool percentage = ColumnValue(Field(line, 48, 3)) == 1;
    std::string_view value = Field(line, 51, 10);

    // A value that is no number fails the job instead of reaching the
    // printer; the line is still written so the rest of the file follows.
    std::int64_t hundredths = 0;
    Status parsed = ParseHundredths(value, hundredths);
    if (!parsed) result.failures.push_back(parsed);

    std::string operand;
    if (percentage) {
      if (onLastLine) {
        if (parsed) text += " " + FormatTwoDecimals(hundredths) + "%";
        for (char& c : text)
          if (c == ',') c = '.';
      }
      operand = value;
    } else if (parsed) {
      operand = std::to_string(hundredths);
    }

    std::string_view keyword;
    if (invert_ && lastWasReturn_ && onLastLine) {
      keyword = percentage ? "MAGG,%" : "ADDI,V";
    } else if (onLastLine) {
      keyword = percentage ? "DISC,%" : "COUP,V";
    } else {
      keyword = percentage ? "DOST,%" : "COST,V";
    }
    lastWasReturn_ = false;
    std::string& out = result.output;
    out += keyword;
    out += operand;
    out += ",:";
    out += text;
    out += ";\r\n";
  }

  void Payment(std::string_view line, FasyVolaText& result) {
    double code = ColumnValue(Field(line, 49, 3));
    std::string keyword = PaymentKeyword(code);
    // A payment without a keyword is no command the printer can execute, and
    // the receipt would stay open: fail the job and say which code it was.
    if (keyword.empty())
      result.failures.push_back(
          Status::Error(kErrInvalidCall, "Codice di pagamento non previsto: " + FormatNumber(code)));
    std::string& out = result.output;
    out += keyword;
    AppendWithoutSeparators(out, Field(line, 3, 10));
    out += ",:";
    out += Field(line, 13, 36);
    out += ";\r\n";
  }

  bool invert_;
  bool receiptOpen_ = false;
  bool lastWasReturn_ = false;
};

void ShowFailure(const MessageSink& show, const Status& failure) {
  show("ERRORE: " + failure.description + " - " + std::to_string(failure.number));
}

}  // namespace

FasyVolaText ConvertFasyVolaText(std::string_view input, bool invertDiscountsAfterReturn) {
  FasyVolaText result;
  Converter converter(invertDiscountsAfterReturn);
  LineReader reader(input);
  std::string line;
  while (reader.ReadLine(line))
    if (!line.empty()) converter.Record(line, result);
  return result;
}

bool ConvertFasyVolaToSL(FileSystem& fs, const MessageSink& show, const std::string& inputPath, const std::string& outputPath,
                         bool invertDiscountsAfterReturn) {
  std::string input;
  if (Status st = fs.ReadAll(inputPath, input); !st) {
    ShowFailure(show, st);
    return false;
  }
  FasyVolaText converted = ConvertFasyVolaText(input, invertDiscountsAfterReturn);
  for (const Status& failure : converted.failures) ShowFailure(show, failure);
  if (Status st = fs.WriteAll(outputPath, converted.output); !st) {
    ShowFailure(show, st);
    return false;
  }
  return converted.ok();
}

bool PrepareFasyVolaJob(FileSystem& fs, const MessageSink& show, const std::string& inputDir, const std::string& source,
                        bool invertDiscountsAfterReturn, std::string& jobPath) {
  jobPath.clear();
  std::string work = JoinPath(inputDir, kFasyVolaWorkFile);
  if (!ConvertFasyVolaToSL(fs, show, source, work, invertDiscountsAfterReturn)) return false;
  jobPath = work;
  return true;
}

}  // namespace dorvane
