#include "sarema.h"

#include <array>
#include <cctype>

namespace dorvane::kkora1 {

namespace {

constexpr std::array<std::int64_t, 8> kPow10 = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// Beyond this the printer's registers overflow; refusing keeps our arithmetic exact.
constexpr Cents kMaxTotal = 99'999'999'999LL;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A run of 1..maxDigits decimal digits and nothing else.
std::optional<std::int64_t> ParseDigits(std::string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  std::int64_t value = 0;
  for (char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// Digits with an optional "," or "." decimal separator, as rates and quantities are written.
std::optional<Decimal> ParseDecimal(std::string_view s, std::size_t maxInt, std::size_t maxDec) {
  const auto sep = s.find_first_of(",.");
  const std::string_view intPart = s.substr(0, sep);
  const std::string_view decPart = sep == std::string_view::npos ? std::string_view{} : s.substr(sep + 1);
  auto whole = ParseDigits(intPart, maxInt);
  if (!whole) return std::nullopt;
  Decimal d{*whole, 0};
  if (sep != std::string_view::npos) {
    auto frac = ParseDigits(decPart, maxDec);
    if (!frac) return std::nullopt;
    d.decimals = static_cast<int>(decPart.size());
    d.units = *whole * kPow10[d.decimals] + *frac;
  }
  return d;
}

// |base| * value / scale, rounded half away from zero.
Cents ScaleRounded(Cents base, std::int64_t numerator, std::int64_t denominator) {
  const Cents magnitude = base < 0 ? -base : base;
  return (magnitude * numerator + denominator / 2) / denominator;
}

PrinterError Syntax(std::string what) { return {"E002", "SINTASSI ERRATA: " + what}; }
PrinterError Sequence(std::string what) { return {"E003", "SEQUENZA NON AMMESSA: " + what}; }
PrinterError Value(std::string what) { return {"E004", "VALORE NON AMMESSO: " + what}; }

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool ConsumePrefix(std::string_view& s, std::string_view prefix) {
  if (s.substr(0, prefix.size()) != prefix) return false;
  s.remove_prefix(prefix.size());
  return true;
}

bool ConsumeSuffix(std::string_view& s, std::string_view suffix) {
  if (s.size() < suffix.size() || s.substr(s.size() - suffix.size()) != suffix) return false;
  s.remove_suffix(suffix.size());
  return true;
}

struct ValueCommand {
  std::string_view prefix;
  Keyword keyword;
  bool percent;
};

constexpr std::array<ValueCommand, 12> kValueCommands = {{
    {"DISC,%", Keyword::Disc, true},   {"DOST,%", Keyword::Dost, true},
    {"MAGG,%", Keyword::Magg, true},   {"MOST,%", Keyword::Most, true},
    {"COUP,V", Keyword::Coup, false},  {"COST,V", Keyword::Cost, false},
    {"ADDI,V", Keyword::Addi, false},  {"ADDS,V", Keyword::Adds, false},
    {"CASH,V", Keyword::Cash, false},  {"CHEQ,V", Keyword::Cheq, false},
    {"CARD,V", Keyword::Card, false},  {"TEND,N4,V", Keyword::Tend, false},
}};

constexpr std::array<std::string_view, 18> kKnownKeywords = {
    "PLUD", "DISC", "DOST", "COUP", "COST", "MAGG", "MOST", "ADDI", "ADDS",
    "PRNT", "CASH", "CHEQ", "CARD", "TEND", "OPER", "SUBT", "OPNF", "CLNF"};

// "PLUD,C1,N<dept>,P<price>,:<text>[,Q<qty>][,R]": the text may itself hold
// commas, so the optional operands are taken from the end.
ParsedLine ParseDepartmentSale(std::string_view body) {
  Command cmd;
  cmd.keyword = Keyword::Plud;
  const auto priceAt = body.find(",P");
  if (priceAt == std::string_view::npos) return {std::nullopt, Syntax("PREZZO MANCANTE")};
  auto dept = ParseDigits(body.substr(0, priceAt), 2);
  if (!dept) return {std::nullopt, Syntax("REPARTO")};
  if (*dept < 1) return {std::nullopt, Value("REPARTO 0")};
  cmd.department = static_cast<int>(*dept);
  body.remove_prefix(priceAt + 2);
  const auto textAt = body.find(",:");
  if (textAt == std::string_view::npos) return {std::nullopt, Syntax("DESCRIZIONE MANCANTE")};
  auto price = ParseDigits(body.substr(0, textAt), 10);
  if (!price) return {std::nullopt, Syntax("PREZZO")};
  cmd.amount = *price;
  body.remove_prefix(textAt + 2);
  cmd.isReturn = ConsumeSuffix(body, ",R");
  const auto qtyAt = body.rfind(",Q");
  if (qtyAt != std::string_view::npos) {
    const std::string_view qtyText = body.substr(qtyAt + 2);
    if (auto qty = ParseDecimal(qtyText, 5, 3)) {
      if (qty->units == 0) return {std::nullopt, Value("QUANTITA' ZERO")};
      cmd.quantity = qty;
      cmd.operandText = std::string(qtyText);
      body = body.substr(0, qtyAt);
    }
  }
  cmd.text = std::string(body);
  return {cmd, {}};
}

// "PLUD,N1,C1,:<text>,P<amount>[,R]": department 1 at the line amount.
ParsedLine ParseFlatSale(std::string_view body) {
  Command cmd;
  cmd.keyword = Keyword::Plud;
  cmd.department = 1;
  cmd.isReturn = ConsumeSuffix(body, ",R");
  const auto priceAt = body.rfind(",P");
  if (priceAt == std::string_view::npos) return {std::nullopt, Syntax("IMPORTO MANCANTE")};
  auto amount = ParseDigits(body.substr(priceAt + 2), 10);
  if (!amount) return {std::nullopt, Syntax("IMPORTO")};
  cmd.amount = *amount;
  cmd.text = std::string(body.substr(0, priceAt));
  return {cmd, {}};
}

ParsedLine ParseValueCommand(const ValueCommand& vc, std::string_view body) {
  Command cmd;
  cmd.keyword = vc.keyword;
  const auto textAt = body.find(",:");
  if (textAt == std::string_view::npos) return {std::nullopt, Syntax("DESCRIZIONE MANCANTE")};
  const std::string_view operand = body.substr(0, textAt);
  if (vc.percent) {
    auto rate = ParseDecimal(operand, 3, 4);
    if (!rate) return {std::nullopt, Syntax("PERCENTUALE")};
    cmd.rate = *rate;
  } else {
    auto amount = ParseDigits(operand, 10);
    if (!amount) return {std::nullopt, Syntax("IMPORTO")};
    cmd.amount = *amount;
  }
  cmd.operandText = std::string(operand);
  cmd.text = std::string(body.substr(textAt + 2));
  return {cmd, {}};
}

std::string RateText(const Command& c) {
  std::string s = c.operandText;
  for (char& ch : s)
    if (ch == '.') ch = ',';
  return s + "%";
}

std::string PaymentLabel(Keyword k) {
  switch (k) {
    case Keyword::Cash: return "CONTANTI";
    case Keyword::Cheq: return "ASSEGNO";
    case Keyword::Card: return "CARTA";
    default: return "PAGAMENTO 4";
  }
}

std::string WithText(std::string label, const std::string& text) {
  if (!text.empty()) label += " " + text;
  return label;
}

}  // namespace

ParsedLine ParseCommand(std::string_view line) {
  line = TrimRight(line);
  std::string_view body = line;
  if (!ConsumeSuffix(body, ";")) return {std::nullopt, Syntax("MANCA ';' FINALE")};
  auto simple = [](Keyword k) { Command c; c.keyword = k; return ParsedLine{c, {}}; };
  if (body == "OPER,C1") return simple(Keyword::Oper);
  if (body == "SUBT") return simple(Keyword::Subt);
  if (body == "OPNF") return simple(Keyword::Opnf);
  if (body == "CLNF") return simple(Keyword::Clnf);
  if (ConsumePrefix(body, "PRNT,:")) {
    ParsedLine p = simple(Keyword::Prnt);
    p.command->text = std::string(body);
    return p;
  }
  if (ConsumePrefix(body, "PLUD,C1,N")) return ParseDepartmentSale(body);
  if (ConsumePrefix(body, "PLUD,N1,C1,:")) return ParseFlatSale(body);
  for (const auto& vc : kValueCommands) {
    std::string_view rest = body;
    if (ConsumePrefix(rest, vc.prefix)) return ParseValueCommand(vc, rest);
  }
  const std::string_view keyword = line.substr(0, 4);
  for (auto known : kKnownKeywords)
    if (keyword == known) return {std::nullopt, Syntax("OPERANDI DI " + std::string(known))};
  return {std::nullopt, {"E001", "COMANDO SCONOSCIUTO"}};
}

std::optional<PrinterError> Receipt::Apply(const Command& c) {
  const bool isPrint = c.keyword == Keyword::Prnt;
  if (nonFiscalOpen_ && !isPrint && c.keyword != Keyword::Clnf)
    return Sequence("COMANDO FISCALE IN DOCUMENTO NON FISCALE");
  switch (c.keyword) {
    case Keyword::Opnf:
      if (nonFiscalOpen_ || fiscalStarted_) return Sequence("DOCUMENTO GIA' APERTO");
      nonFiscal_ = nonFiscalOpen_ = true;
      lines_.push_back({"DOCUMENTO NON FISCALE", std::nullopt});
      return std::nullopt;
    case Keyword::Clnf:
      if (!nonFiscalOpen_) return Sequence("NESSUN DOCUMENTO NON FISCALE APERTO");
      nonFiscalOpen_ = false;
      lines_.push_back({"FINE DOCUMENTO NON FISCALE", std::nullopt});
      return std::nullopt;
    case Keyword::Prnt:
      lines_.push_back({c.text, std::nullopt});
      return std::nullopt;
    case Keyword::Oper:
      if (fiscalStarted_ || nonFiscal_) return Sequence("OPERATORE A SCONTRINO INIZIATO");
      lines_.push_back({"OPERATORE 1", std::nullopt});
      return std::nullopt;
    case Keyword::Subt:
      if (nonFiscal_) return Sequence("SUBTOTALE IN DOCUMENTO NON FISCALE");
      lines_.push_back({"SUBTOTALE", total_});
      return std::nullopt;
    default:
      break;
  }
  if (nonFiscal_) return Sequence("COMANDO FISCALE DOPO DOCUMENTO NON FISCALE");

  Cents effect = 0;
  std::string label;
  switch (c.keyword) {
    case Keyword::Plud: {
      if (paying_) return Sequence("VENDITA DOPO IL PAGAMENTO");
      Cents amount = c.amount;
      label = c.text;
      if (c.quantity) {
        amount = ScaleRounded(c.amount, c.quantity->units, kPow10[c.quantity->decimals]);
        label += "  " + c.operandText + " X " + FormatCents(c.amount);
      }
      label += "  REP." + std::to_string(c.department);
      if (c.isReturn) {
        label = "RESO " + label;
        amount = -amount;
      }
      effect = amount;
      lastLine_ = amount;
      hasSale_ = true;
      break;
    }
    case Keyword::Disc: case Keyword::Magg: case Keyword::Coup: case Keyword::Addi:
    case Keyword::Dost: case Keyword::Most: case Keyword::Cost: case Keyword::Adds: {
      if (!hasSale_) return Sequence("SCONTO O MAGGIORAZIONE SENZA VENDITE");
      if (paying_) return Sequence("SCONTO O MAGGIORAZIONE DOPO IL PAGAMENTO");
      const bool onLine = c.keyword == Keyword::Disc || c.keyword == Keyword::Magg ||
                          c.keyword == Keyword::Coup || c.keyword == Keyword::Addi;
      const bool isDiscount = c.keyword == Keyword::Disc || c.keyword == Keyword::Dost ||
                              c.keyword == Keyword::Coup || c.keyword == Keyword::Cost;
      const bool isPercent = c.keyword == Keyword::Disc || c.keyword == Keyword::Dost ||
                             c.keyword == Keyword::Magg || c.keyword == Keyword::Most;
      // Discounts subtract and surcharges add, whatever the sign of the base:
      // that is why DORVANE turns a discount on a returned line into a surcharge.
      const Cents base = onLine ? lastLine_ : total_;
      const Cents magnitude = base < 0 ? -base : base;
      Cents value = 0;
      if (isPercent) {
        if (isDiscount && c.rate.units > 100 * kPow10[c.rate.decimals])
          return Value("SCONTO OLTRE IL 100%");
        value = ScaleRounded(base, c.rate.units, 100 * kPow10[c.rate.decimals]);
      } else {
        value = c.amount;
        if (isDiscount && value > magnitude) return Value("SCONTO SUPERIORE ALL'IMPORTO");
      }
      effect = isDiscount ? -value : value;
      label = isDiscount ? "SCONTO" : "MAGGIORAZIONE";
      if (!onLine) label += " SUBTOT.";
      if (isPercent) label += " " + RateText(c);
      label = WithText(label, c.text);
      break;
    }
    case Keyword::Cash: case Keyword::Cheq: case Keyword::Card: case Keyword::Tend:
      if (!hasSale_) return Sequence("PAGAMENTO SENZA VENDITE");
      if (!paying_) firstPayment_ = lines_.size();
      paying_ = true;
      paid_ += c.amount;
      if (paid_ > kMaxTotal) return Value("PAGAMENTO TROPPO ALTO");
      fiscalStarted_ = true;
      lines_.push_back({WithText(PaymentLabel(c.keyword), c.text), c.amount});
      return std::nullopt;
    default:
      return Syntax("COMANDO");
  }
  fiscalStarted_ = true;
  total_ += effect;
  if (total_ > kMaxTotal || total_ < -kMaxTotal) return Value("TOTALE FUORI LIMITE");
  lines_.push_back({label, effect});
  return std::nullopt;
}

std::optional<PrinterError> Receipt::Finish() {
  if (nonFiscalOpen_) return Sequence("DOCUMENTO NON FISCALE NON CHIUSO");
  if (nonFiscal_ || lines_.empty()) return std::nullopt;
  const auto at = paying_ ? lines_.begin() + static_cast<std::ptrdiff_t>(firstPayment_) : lines_.end();
  lines_.insert(at, {"TOTALE", total_});
  if (paid_ < total_) {
    lines_.push_back({"CONTANTI (CHIUSURA AUTOMATICA)", total_ - paid_});
    paid_ = total_;
  }
  if (Change() > 0) lines_.push_back({"RESTO", Change()});
  return std::nullopt;
}

std::string FormatCents(Cents cents) {
  const bool negative = cents < 0;
  const Cents magnitude = negative ? -cents : cents;
  std::string cc = std::to_string(magnitude % 100);
  if (cc.size() < 2) cc.insert(0, "0");
  return (negative ? "-" : "") + std::to_string(magnitude / 100) + "," + cc;
}

std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.emplace_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return lines;
}

bool LooksLikeXonXoff(std::string_view bytes) {
  if (bytes.find('\x11') != std::string_view::npos || bytes.find('\x13') != std::string_view::npos)
    return true;
  for (const std::string& raw : SplitLines(bytes)) {
    std::string_view line = TrimRight(raw);
    if (line.empty()) continue;
    if (line.size() < 5) return true;
    for (int i = 0; i < 4; ++i)
      if (line[i] < 'A' || line[i] > 'Z') return true;
    return line[4] != ',' && line[4] != ';';
  }
  return false;
}

JobCheck CheckJob(std::string_view bytes, bool acceptXonXoff) {
  JobCheck check;
  const std::vector<std::string> lines = SplitLines(bytes);
  for (const auto& line : lines)
    if (!TrimRight(line).empty()) check.printLines.push_back(line);
  if (acceptXonXoff && !check.printLines.empty() && LooksLikeXonXoff(bytes)) {
    check.valid = true;
    check.kind = JobKind::XonXoff;
    return check;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (TrimRight(lines[i]).empty()) continue;
    ParsedLine parsed = ParseCommand(lines[i]);
    std::optional<PrinterError> error;
    if (!parsed.command)
      error = parsed.error;
    else
      error = check.receipt.Apply(*parsed.command);
    if (error) {
      check.error = *error;
      check.errorLine = static_cast<int>(i + 1);
      check.errorLineText = lines[i];
      return check;
    }
  }
  if (auto error = check.receipt.Finish()) {
    check.error = *error;
    return check;
  }
  check.valid = true;
  check.kind = !check.receipt.HasContent() ? JobKind::Empty
               : check.receipt.IsNonFiscal() ? JobKind::NonFiscal
                                             : JobKind::Fiscal;
  return check;
}

bool ReadsAsPaperOut(std::string_view firstLine) {
  std::string upper(firstLine);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return firstLine.find("E096:") != std::string_view::npos ||
         upper.find("FINE CARTA") != std::string::npos || upper.find("COVER") != std::string::npos;
}

std::string RefusalReport(const JobCheck& check) {
  std::string where = check.errorLine > 0 ? "RIGA " + std::to_string(check.errorLine)
                                          : std::string("FINE DEL LAVORO");
  std::string first = check.error.code + ": " + check.error.message + " - " + where;
  std::string detail;
  if (check.errorLine > 0) {
    const std::string candidate = first + ": " + check.errorLineText;
    // The offending text goes on the first line only when it cannot make the
    // report look like a paper-out; it is always repeated on the second line.
    if (!ReadsAsPaperOut(candidate)) first = candidate;
    detail = check.errorLineText;
  }
  std::string report = first + "\r\n";
  if (!detail.empty()) report += detail + "\r\n";
  return report;
}

}  // namespace dorvane::kkora1
