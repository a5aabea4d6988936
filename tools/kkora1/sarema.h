// Sarema Language as the simulated printer understands it: the commands DORVANE
// writes, checked one line at a time, and a receipt model that works out the
// totals a fiscal printer would print.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvane::kkora1 {

using Cents = std::int64_t;

enum class Keyword {
  Plud, Disc, Dost, Coup, Cost, Magg, Most, Addi, Adds,
  Prnt, Cash, Cheq, Card, Tend, Oper, Subt, Opnf, Clnf
};

// A decimal operand kept exactly: value = units / 10^decimals.
struct Decimal {
  std::int64_t units = 0;
  int decimals = 0;
};

struct Command {
  Keyword keyword = Keyword::Prnt;
  int department = 0;           // PLUD
  Cents amount = 0;             // PLUD price, or the V operand
  std::optional<Decimal> quantity;  // PLUD ",Q"
  bool isReturn = false;        // PLUD ",R"
  Decimal rate;                 // "%" operand
  std::string operandText;      // rate or quantity as written, for the journal
  std::string text;             // ":" operand
};

struct PrinterError {
  std::string code;     // "E001"
  std::string message;  // upper-case Italian, as printers report
};

struct ParsedLine {
  std::optional<Command> command;  // empty on error
  PrinterError error;
};

// Parses one line (no line end). Trailing blanks are tolerated; keywords and
// tags are case-sensitive, as the printer firmware compares them.
ParsedLine ParseCommand(std::string_view line);

struct JournalLine {
  std::string text;
  std::optional<Cents> amount;
};

// One document being built from its commands.
class Receipt {
 public:
  // Applies a command; returns the error the printer would raise instead.
  std::optional<PrinterError> Apply(const Command& command);
  // Checks at the end of the job; closes the receipt (automatic cash closing
  // when payments fall short, as the printer does when no payment command came).
  std::optional<PrinterError> Finish();

  bool IsNonFiscal() const { return nonFiscal_; }
  bool HasContent() const { return !lines_.empty(); }
  Cents Total() const { return total_; }
  Cents Paid() const { return paid_; }
  Cents Change() const { return paid_ > total_ && total_ >= 0 ? paid_ - total_ : 0; }
  const std::vector<JournalLine>& Lines() const { return lines_; }

 private:
  bool nonFiscal_ = false;
  bool nonFiscalOpen_ = false;
  bool fiscalStarted_ = false;  // any sale, discount or payment
  bool hasSale_ = false;
  bool paying_ = false;
  std::size_t firstPayment_ = 0;  // where TOTALE goes: before the payments
  Cents lastLine_ = 0;
  Cents total_ = 0;
  Cents paid_ = 0;
  std::vector<JournalLine> lines_;
};

// Formats hundredths as the printer does: "12,50", "-0,30".
std::string FormatCents(Cents cents);

// Splits job bytes into lines at CR LF, a lone CR or a lone LF; a final line end
// adds no empty line.
std::vector<std::string> SplitLines(std::string_view bytes);

enum class JobKind { Fiscal, NonFiscal, Empty, XonXoff };

struct JobCheck {
  bool valid = false;
  JobKind kind = JobKind::Empty;
  std::vector<std::string> printLines;  // the non-empty lines, in order
  Receipt receipt;
  int errorLine = 0;  // 1-based line of the job; 0 = the end of the job
  std::string errorLineText;
  PrinterError error;
};

// A job is Xon-Xoff (another printer protocol, passed to the printer as it
// stands) when it holds an XON or XOFF control byte, or when its first non-blank
// line does not have the shape of a Sarema Language command (four capital
// letters followed by "," or ";"). Only meaningful when pass-through is on.
bool LooksLikeXonXoff(std::string_view bytes);

// Validates a whole job and builds its receipt. With acceptXonXoff, a job that
// LooksLikeXonXoff is accepted unchecked.
JobCheck CheckJob(std::string_view bytes, bool acceptXonXoff);

// Text of SR_ERR for a refused job. Its first line names the error and the
// line; it never reads as a paper-out report, whatever the offending line holds
// (DORVANE would otherwise hold the job as paper out instead of failing it).
std::string RefusalReport(const JobCheck& check);

// True when DORVANE would take this first line as paper out or cover open.
bool ReadsAsPaperOut(std::string_view firstLine);

}  // namespace dorvane::kkora1
