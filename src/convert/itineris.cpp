#include "convert/itineris.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "text/paths.h"

namespace dorvane {

namespace {

constexpr std::string_view kSeparator = "PRNT,:-------------------;";

// Blanks around tags and values. Tabs and line feeds count too: they are how
// other programs indent, and a tag missed for them would silently drop the
// receipt's lines.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view TrimBlanks(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

struct FieldTag {
  std::string_view tag;
  std::string ItinerisLine::*field;
};

constexpr FieldTag kFieldTags[] = {
    {"<CODICE>", &ItinerisLine::code},          {"<DESCRIZIONE>", &ItinerisLine::description},
    {"<QTA>", &ItinerisLine::quantity},         {"<PREZZO>", &ItinerisLine::price},
    {"<IMPORTO>", &ItinerisLine::amount},       {"<SCONTO1>", &ItinerisLine::discount1},
    {"<SCONTO2>", &ItinerisLine::discount2},    {"<SCONTO3>", &ItinerisLine::discount3},
    {"<CODIVA>", &ItinerisLine::vatCode},       {"<CAUSALE_RIGA>", &ItinerisLine::reason},
};

bool AllDigits(std::string_view text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The line amount as the printer's price operand, in hundredths. Amounts
// written with fewer than two decimals ("3", "3.5") are padded, so that they
// are not sent as 3 or 35 cents; earlier points are thousands separators
// ("1.234.50"). Anything else, or non-zero digits past the cents, fails the
// job rather than print a wrong sum.
bool AmountOperand(std::string_view amount, std::string& operand) {
  std::string_view sign;
  if (!amount.empty() && (amount[0] == '-' || amount[0] == '+')) {
    sign = amount.substr(0, 1);
    amount.remove_prefix(1);
  }
  std::string whole;
  std::string_view fraction;
  std::size_t last = amount.rfind('.');
  if (last == std::string_view::npos) {
    whole = amount;
  } else {
    fraction = amount.substr(last + 1);
    std::string_view head = amount.substr(0, last);
    std::size_t groupStart = 0;
    for (std::size_t dot = head.find('.'); dot != std::string_view::npos; dot = head.find('.', groupStart)) {
      std::string_view group = head.substr(groupStart, dot - groupStart);
      bool first = groupStart == 0;
      if (first ? (group.empty() || group.size() > 3) : group.size() != 3) return false;
      whole += group;
      groupStart = dot + 1;
    }
    std::string_view tail = head.substr(groupStart);
    if (groupStart != 0 && tail.size() != 3) return false;
    whole += tail;
  }
  if (!AllDigits(whole) || !AllDigits(fraction) || (whole.empty() && fraction.empty())) return false;
  std::string cents(fraction.substr(0, 2));
  if (fraction.size() > 2 && fraction.find_first_not_of('0', 2) != std::string_view::npos) return false;
  cents.resize(2, '0');
  operand = std::string(sign) + whole + cents;
  return true;
}

// The next line of `bytes` from `pos`, by LineReader's rule (CR LF or a lone
// CR ends a line), as a view: the reader looks at every line twice, and
// copies would cost more than the conversion.
bool NextLine(std::string_view bytes, std::size_t& pos, std::string_view& line) {
  if (pos >= bytes.size()) return false;
  std::size_t end = bytes.find('\r', pos);
  if (end == std::string_view::npos) end = bytes.size();
  line = bytes.substr(pos, end - pos);
  pos = end + 1;
  if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
  return true;
}

// The value of a field from the line after its tag, as ReadTagValue gives it.
void TagValue(std::string_view raw, std::string& value) {
  std::string_view text = TrimBlanks(raw);
  if (text.find('<') != std::string_view::npos) {
    value.clear();
    return;
  }
  value.assign(text);
  for (char& c : value) {
    if (c == ',') c = '.';
    else if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    else if (static_cast<unsigned char>(c) >= 0x80) c = UpperAnsi(c);
  }
}

// Whether a trimmed line is `tag` (upper-case ASCII) in any letter case. No
// byte outside ASCII upper-cases into ASCII, so a byte compare suffices.
bool IsTag(std::string_view line, std::string_view tag) {
  if (line.size() != tag.size()) return false;
  for (std::size_t i = 0; i < tag.size(); ++i) {
    char c = line[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != tag[i]) return false;
  }
  return true;
}

class XmlReader {
 public:
  explicit XmlReader(std::string& out) : out_(out) {}

  Status Pass(std::string_view intermediate, int pass) {
    pass_ = pass;
    state_ = 0;
    ClearLineFields(line_);
    std::size_t pos = 0;
    std::string_view raw;
    while (NextLine(intermediate, pos, raw)) {
      std::string_view tag = TrimBlanks(raw);
      // Every line that matters starts with "<"; values are read with their tags.
      if (tag.empty() || tag[0] != '<') continue;
      if (IsTag(tag, "</SCONTRINO>")) break;  // in any state: the receipt ends here, unfinished line and all
      if (state_ == 0) {
        if (IsTag(tag, "<SCONTRINO>")) state_ = 1;
      } else if (state_ == 1) {
        if (IsTag(tag, "<DETTAGLIO>")) {
          ClearLineFields(line_);
          state_ = 2;
        }
      } else if (tag.size() > 1 && tag[1] == '/') {  // no field tag is a closing one
        if (IsTag(tag, "</DETTAGLIO>"))
          if (Status st = FinishLine(); !st) return st;
      } else {
        for (const FieldTag& f : kFieldTags) {
          if (!IsTag(tag, f.tag)) continue;
          if (!NextLine(intermediate, pos, raw)) return Status::Of(kErrInputPastEnd);
          TagValue(raw, line_.*f.field);
          if (f.field == &ItinerisLine::reason) line_.isReturn = line_.reason == "RESO";
          break;
        }
      }
    }
    if (pass_ == 2) {
      AppendLine(out_, kSeparator);
      AppendLine(out_, "SUBT;");
    }
    return Status::Ok();
  }

 private:
  // "PRNT,:" + parts + ";" CR LF.
  void Comment(std::initializer_list<std::string_view> parts) {
    out_ += "PRNT,:";
    for (std::string_view part : parts) out_ += part;
    out_ += ";\r\n";
  }

  Status FinishLine() {
    if (pass_ == 1 && !openingWritten_) {
      AppendLine(out_, "OPER,C1;");
      openingWritten_ = true;
    }
    // Sold lines go out in the first pass, returns in the second. A dropped
    // line leaves the reader inside a line, as the receipt format expects.
    if (line_.isReturn != (pass_ == 2)) {
      ClearLineFields(line_);
      return Status::Ok();
    }
    AppendLine(out_, kSeparator);

    double quantity = RoundHalfEven(Val(line_.quantity));
    if (quantity < -32768 || quantity > 32767) return Status::Of(kErrOverflow);
    // A whole number in 16 bits: its decimal digits are what FormatNumber gives.
    if (line_.amount != line_.price || quantity > 1)
      Comment({"PR.LIST. ", std::to_string(static_cast<int>(quantity)), " X ", line_.price});

    const std::string* discounts[] = {&line_.discount1, &line_.discount2, &line_.discount3};
    static constexpr std::string_view kDiscountNames[] = {"SCONTO1 ", "SCONTO2 ", "SCONTO3 "};
    for (int i = 0; i < 3; ++i)
      if (!discounts[i]->empty() && Val(*discounts[i]) > 0) Comment({kDiscountNames[i], *discounts[i], " % "});

    Comment({line_.code});
    Comment({line_.description});

    std::string operand;
    if (!AmountOperand(line_.amount, operand)) {
      if (line_.amount.empty()) return Status::Error(kErrTypeMismatch, "Importo della riga mancante");
      // Enough of the value to find it in the file, and no more on one log line.
      std::string shown = line_.amount.size() > 40 ? line_.amount.substr(0, 40) + "..." : line_.amount;
      return Status::Error(kErrTypeMismatch, "Importo della riga non valido: " + shown);
    }
    out_ += "PLUD,N1,C1,: ,P";
    out_ += operand;
    out_ += line_.isReturn ? ",R;\r\n" : ";\r\n";

    state_ = 1;
    ClearLineFields(line_);
    return Status::Ok();
  }

  std::string& out_;
  ItinerisLine line_;
  int pass_ = 1;
  int state_ = 0;
  bool openingWritten_ = false;
};

void LogFailure(const ItinerisErrorLog& log, const char* prefix, const Status& st) {
  LogItinerisError(log, prefix + st.description + " - " + std::to_string(st.number));
}

Status TooLarge(std::size_t size, std::size_t limit) {
  return Status::Error(kErrOverflow, "File di input troppo grande: " + std::to_string(size) + " byte (massimo " +
                                         std::to_string(limit) + ")");
}

}  // namespace

void LogItinerisError(const ItinerisErrorLog& log, const std::string& message) {
  LocalDateTime now = log.clock.Now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d%02d%02d_%02d%02d%02d -> ", now.year % 100, now.month, now.day, now.hour,
                now.minute, now.second);
  std::string line = stamp + message;
  line += kCrLf;
  (void)log.fs.Append(log.path, line);
}

void ClearLineFields(ItinerisLine& line) {
  // clear() keeps each field's buffer for the next line.
  for (std::string* field : {&line.code, &line.description, &line.quantity, &line.price, &line.amount,
                             &line.vatCode, &line.reason, &line.discount1, &line.discount2, &line.discount3})
    field->clear();
  line.isReturn = false;
}

bool ReadTagValue(LineReader& reader, std::string& value) {
  std::string raw;
  if (!reader.ReadLine(raw)) return false;
  TagValue(raw, value);
  return true;
}

std::string SplitXmlTagsText(std::string_view input) {
  // One walk over the input. Its own line ends go (every CR, and the LF right
  // after a CR, as LineReader reads them), so a tag broken over two lines is
  // whole again before it is split; "next character" below means the next
  // one that stays. The output is written in place into room for the worst
  // case (CR LF added at every "<" and ">"), then cut to size.
  const std::size_t n = input.size();
  std::size_t marks = static_cast<std::size_t>(std::count(input.begin(), input.end(), '<')) +
                      static_cast<std::size_t>(std::count(input.begin(), input.end(), '>'));
  std::string out(n + 2 * marks + 2, '\0');
  char* w = out.data();
  std::size_t i = 0;
  while (i < n) {
    char c = input[i++];
    if (c == '\r') {
      if (i < n && input[i] == '\n') ++i;
    } else if (c == '>') {
      *w++ = '>';
      *w++ = '\r';
      *w++ = '\n';
    } else if (c == '<') {
      std::size_t next = i;
      while (next < n && input[next] == '\r') {
        ++next;
        if (next < n && input[next] == '\n') ++next;
      }
      if (next < n && input[next] == '/') {
        *w++ = '\r';
        *w++ = '\n';
      }
      *w++ = '<';
    } else {
      *w++ = c;
    }
  }
  *w++ = '\r';
  *w++ = '\n';
  out.resize(static_cast<std::size_t>(w - out.data()));
  return out;
}

Status ConvertXmlToSLText(std::string_view intermediate, std::string& output) {
  output.clear();
  XmlReader reader(output);
  for (int pass = 1; pass <= 2; ++pass)
    if (Status st = reader.Pass(intermediate, pass); !st) return st;
  return Status::Ok();
}

bool SplitXmlTags(FileSystem& fs, const ItinerisErrorLog& log, const std::string& inputPath,
                  const std::string& outputPath) {
  if (!fs.Exists(inputPath)) return false;
  std::string input;
  if (Status st = fs.ReadAll(inputPath, input); !st) {
    LogFailure(log, "2: ", st);
    return false;
  }
  if (input.empty()) return false;
  if (fs.Exists(outputPath)) {
    if (Status st = fs.Remove(outputPath); !st) {
      LogFailure(log, "2: ", st);
      return false;
    }
  }
  if (input.size() > kMaxItinerisInputBytes) {
    LogFailure(log, "2: ", TooLarge(input.size(), kMaxItinerisInputBytes));
    return false;
  }
  if (Status st = fs.WriteAll(outputPath, SplitXmlTagsText(input)); !st) {
    LogFailure(log, "2: ", st);
    return false;
  }
  return true;
}

bool ConvertXmlToSL(FileSystem& fs, const ItinerisErrorLog& log, const std::string& inputPath,
                    const std::string& outputPath) {
  if (!fs.Exists(inputPath)) return false;
  if (fs.Exists(outputPath)) {
    if (Status st = fs.Remove(outputPath); !st) {
      LogFailure(log, "1: ", st);
      return false;
    }
  }
  std::string input;
  if (Status st = fs.ReadAll(inputPath, input); !st) {
    LogFailure(log, "1: ", st);
    return false;
  }
  if (input.empty()) return false;
  if (input.size() > kMaxItinerisSplitBytes) {
    LogFailure(log, "1: ", TooLarge(input.size(), kMaxItinerisSplitBytes));
    return false;
  }
  std::string output;
  Status converted = ConvertXmlToSLText(input, output);
  // What was converted up to a failure is kept, for whoever looks into it.
  Status written = fs.WriteAll(outputPath, output);
  if (!converted) LogFailure(log, "1: ", converted);
  if (!written) LogFailure(log, "1: ", written);
  return converted && written;
}

bool PrepareItinerisJob(FileSystem& fs, Clock& clock, const std::string& inputDir, const std::string& source,
                        std::string& jobPath) {
  jobPath.clear();
  ItinerisErrorLog log{fs, clock, JoinPath(inputDir, kItinerisErrorLog)};
  std::string split = JoinPath(inputDir, kItinerisSplitFile);
  std::string job = JoinPath(inputDir, kItinerisJobFile);
  if (!SplitXmlTags(fs, log, source, split)) return false;
  if (!ConvertXmlToSL(fs, log, split, job)) return false;
  jobPath = job;
  return true;
}

}  // namespace dorvane
