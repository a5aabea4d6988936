// Fasy Vola fixed-column receipts to Sarema Language: what the printer gets
// for every record kind, and what happens to a file with a bad record.
#include <gtest/gtest.h>

#include "convert/ModConvFasyVolaToSL.h"
#include "support/fakes.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

// A record: `text` placed at column `col` (from 1) of `line`, blanks between.
std::string At(std::string line, std::size_t col, std::string_view text) {
  if (line.size() < col - 1 + text.size()) line.resize(col - 1 + text.size(), ' ');
  line.replace(col - 1, text.size(), text);
  return line;
}

const std::string kHeader = "00HEADER";

std::string Sale(std::string_view kind, std::string_view price, std::string_view dept, std::string_view text,
                 std::string_view quantity = "") {
  std::string line = At(At(At(std::string(kind), 28, price), 38, dept), 41, text);
  return quantity.empty() ? line : At(line, 83, quantity);
}

// level "000" = last line, other = subtotal; type "001" = percentage.
std::string Discount(std::string_view text, std::string_view level, std::string_view type, std::string_view value) {
  return At(At(At(At("4", 3, text), 45, level), 48, type), 51, value);
}

std::string Payment(std::string_view amount, std::string_view text, std::string_view code) {
  return At(At(At("6", 3, amount), 13, text), 49, code);
}

std::string Text(std::string_view text) { return At("5", 5, text); }

std::string Convert(const std::vector<std::string>& lines, bool invert = false) {
  FasyVolaText result = ConvertFasyVolaText(JoinLines(lines), invert);
  EXPECT_TRUE(result.ok()) << (result.failures.empty() ? "" : result.failures[0].description);
  return result.output;
}

TEST(FasyVola, WorkedExamples) {
  EXPECT_EQ(Convert({kHeader, Sale("01", "0000001,50", "001", "PANE", "2"), Sale("03", "0000001,50", "001", "PANE"),
                     Payment("12,50", "CONTANTI", "001")}),
            "PLUD,C1,N1,P000000150,:PANE,Q2;\r\n"
            "PLUD,C1,N1,P000000150,:PANE,R;\r\n"
            "CASH,V1250,:CONTANTI;\r\n");
}

TEST(FasyVola, SaleColumns) {
  std::string text42(42, 'T');
  // Price keeps its leading zeros and loses every separator; the department
  // loses its leading zeros; the text stops at column 82.
  EXPECT_EQ(Convert({kHeader, Sale("1", "  1.234,50", "010", text42, "7")}),
            "PLUD,C1,N10,P123450,:" + text42 + ",Q7;\r\n");
  // Text is written as it stands, commas and semicolons included.
  EXPECT_EQ(Convert({kHeader, Sale("1", "100", "2", "  LATTE, 1L; INTERO  ")}), "PLUD,C1,N2,P100,:LATTE, 1L; INTERO;\r\n");
  // A blank department is department 0; a record ending before column 41 has an empty text.
  EXPECT_EQ(Convert({kHeader, Sale("1", "100", "", "")}), "PLUD,C1,N0,P100,:;\r\n");
  EXPECT_EQ(Convert({kHeader, At("1", 28, "100")}), "PLUD,C1,N0,P100,:;\r\n");
  EXPECT_EQ(Convert({kHeader, "1"}), "PLUD,C1,N0,P,:;\r\n");
}

TEST(FasyVola, QuantityIsLeftOutWhenZeroAndOtherwiseWrittenAsItStands) {
  for (const char* none : {"0", "000", "          ", "ABC"})
    EXPECT_EQ(Convert({kHeader, Sale("01", "150", "1", "PANE", none)}), "PLUD,C1,N1,P150,:PANE;\r\n") << none;
  EXPECT_EQ(Convert({kHeader, Sale("01", "150", "1", "PANE", "3")}), "PLUD,C1,N1,P150,:PANE,Q3;\r\n");
  EXPECT_EQ(Convert({kHeader, Sale("03", "150", "1", "PANE", "3")}), "PLUD,C1,N1,P150,:PANE,Q3,R;\r\n");
  EXPECT_EQ(Convert({kHeader, Sale("01", "150", "1", "PANE", "  1.500   ")}), "PLUD,C1,N1,P150,:PANE,Q1.500;\r\n");
  // A line shorter than column 83 has no quantity.
  EXPECT_EQ(Convert({kHeader, Sale("01", "150", "1", std::string(41, 'X'))}),
            "PLUD,C1,N1,P150,:" + std::string(41, 'X') + ";\r\n");
}

TEST(FasyVola, ReceiptOpensAtTheFirstHeader) {
  std::vector<std::string> before = {Sale("01", "150", "1", "PANE"), Discount("SC", "000", "001", "10"),
                                     Text("CIAO"), Payment("100", "CONTANTI", "1")};
  std::vector<std::string> lines = before;
  EXPECT_EQ(Convert(lines), "");
  lines.push_back(kHeader);
  lines.push_back(Text("DOPO"));
  lines.push_back("00 SECOND HEADER CHANGES NOTHING");
  lines.push_back(Text("ANCORA"));
  EXPECT_EQ(Convert(lines), "PRNT,:DOPO;\r\nPRNT,:ANCORA;\r\n");
  // A header alone gives an empty job, and that is a success.
  EXPECT_EQ(Convert({kHeader}), "");
  EXPECT_EQ(Convert({}), "");
}

TEST(FasyVola, RecordKinds) {
  // A line of blanks or letters in the kind columns is a header; an empty
  // line is skipped; kinds 2, 7 and 10 write nothing.
  EXPECT_EQ(Convert({"     ", Text("A"), "", Text("B")}), "PRNT,:A;\r\nPRNT,:B;\r\n");
  EXPECT_EQ(Convert({"XYZ", Text("A")}), "PRNT,:A;\r\n");
  EXPECT_EQ(Convert({"", Text("A")}), "");  // skipped, so no header either
  EXPECT_EQ(Convert({kHeader, At("2", 5, "DUE"), At("07", 5, "SETTE"), At("10", 5, "DIECI"), Text("FINE")}),
            "PRNT,:FINE;\r\n");
  // The kind is read from the first two characters as they stand.
  EXPECT_EQ(Convert({kHeader, At(" 5", 5, "CINQUE")}), "PRNT,:CINQUE;\r\n");
  // Text line: columns 5 to 54.
  EXPECT_EQ(Convert({kHeader, "5XXX" + std::string(50, 'T') + "OVER"}), "PRNT,:" + std::string(50, 'T') + ";\r\n");
}

TEST(FasyVola, LineEnds) {
  // CR alone ends a record as CR LF does; a last record without a line end still counts.
  EXPECT_EQ(ConvertFasyVolaText("00\r" + Text("A") + "\r\n" + Text("B"), false).output, "PRNT,:A;\r\nPRNT,:B;\r\n");
}

TEST(FasyVola, DiscountKeywordsWithoutTheOption) {
  EXPECT_EQ(Convert({kHeader, Discount("SCONTO", "000", "001", "10")}), "DISC,%10,:SCONTO 10.00%;\r\n");
  // On the last line every comma of the whole text becomes a point; the rate operand stays as written.
  EXPECT_EQ(Convert({kHeader, Discount("SC,1", "000", "001", "7,5")}), "DISC,%7,5,:SC.1 7.50%;\r\n");
  // On the subtotal the text stays as it is.
  EXPECT_EQ(Convert({kHeader, Discount("SU,BT", "001", "001", "10")}), "DOST,%10,:SU,BT;\r\n");
  // Amounts are hundredths, with either decimal separator.
  EXPECT_EQ(Convert({kHeader, Discount("BUONO", "000", "002", "2,50")}), "COUP,V250,:BUONO;\r\n");
  EXPECT_EQ(Convert({kHeader, Discount("BUONO", "009", "000", "2.50")}), "COST,V250,:BUONO;\r\n");
  EXPECT_EQ(Convert({kHeader, Discount("BUONO", "000", "", "3")}), "COUP,V300,:BUONO;\r\n");
  // Even after a return, without the option.
  EXPECT_EQ(Convert({kHeader, Sale("03", "150", "1", "PANE"), Discount("SC", "000", "001", "10"),
                     Sale("03", "150", "1", "PANE"), Discount("SC", "000", "002", "1")}),
            "PLUD,C1,N1,P150,:PANE,R;\r\nDISC,%10,:SC 10.00%;\r\n"
            "PLUD,C1,N1,P150,:PANE,R;\r\nCOUP,V100,:SC;\r\n");
}

TEST(FasyVola, InversionTurnsADiscountOnAReturnedLineIntoASurcharge) {
  std::string ret = Sale("03", "150", "1", "PANE");
  std::string pct = Discount("SC", "000", "001", "10");
  std::string amt = Discount("SC", "000", "002", "1");
  const std::string retOut = "PLUD,C1,N1,P150,:PANE,R;\r\n";
  // Only the first discount after the return is inverted.
  EXPECT_EQ(Convert({kHeader, ret, pct, pct}, true), retOut + "MAGG,%10,:SC 10.00%;\r\nDISC,%10,:SC 10.00%;\r\n");
  EXPECT_EQ(Convert({kHeader, ret, amt}, true), retOut + "ADDI,V100,:SC;\r\n");
  // A sale between return and discount ends the return; text and payment lines do not.
  EXPECT_EQ(Convert({kHeader, ret, Sale("01", "150", "1", "PANE"), pct}, true),
            retOut + "PLUD,C1,N1,P150,:PANE;\r\nDISC,%10,:SC 10.00%;\r\n");
  EXPECT_EQ(Convert({kHeader, ret, Text("X"), Payment("1", "C", "1"), amt}, true),
            retOut + "PRNT,:X;\r\nCASH,V1,:C;\r\nADDI,V100,:SC;\r\n");
  // A subtotal discount is never inverted, and it still ends the return.
  EXPECT_EQ(Convert({kHeader, ret, Discount("ST", "001", "002", "1"), amt}, true),
            retOut + "COST,V100,:ST;\r\nCOUP,V100,:SC;\r\n");
  EXPECT_EQ(Convert({kHeader, ret, Discount("ST", "001", "001", "5")}, true), retOut + "DOST,%5,:ST;\r\n");
}

TEST(FasyVola, PaymentCodes) {
  std::vector<std::pair<const char*, const char*>> codes = {
      {"1", "CASH,V"}, {"2", "CHEQ,V"}, {"3", "CARD,V"}, {"4", "TEND,N4,V"}, {"5", "CASH,V"}, {"40", "TEND,N4,V"},
      {"005", "CASH,V"}, {" 40", "TEND,N4,V"}};
  for (auto [code, keyword] : codes)
    EXPECT_EQ(Convert({kHeader, Payment("1.012,50", "PAGATO", code)}), std::string(keyword) + "101250,:PAGATO;\r\n")
        << code;
  // Text in columns 13 to 48; the code's columns are not part of it.
  EXPECT_EQ(Convert({kHeader, Payment("100", std::string(36, 'T') + "1", "1")}),
            "CASH,V100,:" + std::string(36, 'T') + ";\r\n");
}

TEST(FasyVola, UnknownPaymentCodeFailsTheJob) {
  FasyVolaText r = ConvertFasyVolaText(JoinLines({kHeader, Payment("100", "BUONI", "7"), Text("DOPO")}), false);
  EXPECT_EQ(r.output, "100,:BUONI;\r\nPRNT,:DOPO;\r\n");
  ASSERT_EQ(r.failures.size(), 1u);
  EXPECT_EQ(r.failures[0].description, "Codice di pagamento non previsto: 7");
}

TEST(FasyVola, BadDiscountValueFailsButTheRestIsWritten) {
  FasyVolaText r = ConvertFasyVolaText(JoinLines({kHeader, Discount("VUOTO", "000", "002", ""),
                                                  Discount("SC,X", "000", "001", "dieci"),
                                                  Discount("TROPPO", "001", "002", "9999999999"), Text("DOPO")}),
                                       false);
  EXPECT_EQ(r.output,
            "COUP,V,:VUOTO;\r\n"
            "DISC,%dieci,:SC.X;\r\n"
            "COST,V,:TROPPO;\r\n"
            "PRNT,:DOPO;\r\n");
  ASSERT_EQ(r.failures.size(), 3u);
  EXPECT_EQ(r.failures[0].number, kErrTypeMismatch);
  EXPECT_EQ(r.failures[1].number, kErrTypeMismatch);
  EXPECT_EQ(r.failures[2].number, kErrOverflow);
}

TEST(FasyVola, DiscountNumbers) {
  // Amounts up to the 32-bit operand, and decimals past the cents rounded half to even.
  EXPECT_EQ(Convert({kHeader, Discount("A", "000", "002", "21474836,4")}), "COUP,V2147483640,:A;\r\n");
  EXPECT_EQ(ConvertFasyVolaText(JoinLines({kHeader, Discount("A", "000", "002", "21474837")}), false).failures.at(0).number,
            kErrOverflow);
  EXPECT_EQ(Convert({kHeader, Discount("A", "000", "002", "2,505"), Discount("B", "000", "002", "2,515"),
                     Discount("C", "000", "002", "-1,5"), Discount("D", "000", "001", ",5")}),
            "COUP,V250,:A;\r\nCOUP,V252,:B;\r\nCOUP,V-150,:C;\r\nDISC,%,5,:D 0.50%;\r\n");
  for (const char* bad : {"1,2,3", "1 2", "1e3", "-", ",", "2,50EUR"})
    EXPECT_FALSE(ConvertFasyVolaText(JoinLines({kHeader, Discount("A", "000", "002", bad)}), false).ok()) << bad;
}

class FasyVolaFiles : public ::testing::Test {
 protected:
  FasyVolaFiles() { fs.AddDir(dir); }
  std::string Path(const char* name) { return JoinPath(dir, name); }
  MemFileSystem fs;
  FakeUi ui;
  std::string dir = "/shop/in";
};

TEST_F(FasyVolaFiles, WritesTheJobAndKeepsTheInput) {
  std::string input = JoinLines({kHeader, Sale("01", "0000001,50", "001", "PANE", "2")});
  fs.Put(Path("R.001"), input);
  fs.Put(Path("FASYCONV.TXT"), "an older, longer job that must not survive\r\n");
  std::string job;
  EXPECT_TRUE(PrepareFasyVolaJob(fs, ui, dir, Path("R.001"), false, job));
  EXPECT_EQ(job, Path("FASYCONV.TXT"));
  EXPECT_EQ(fs.Content(job), "PLUD,C1,N1,P000000150,:PANE,Q2;\r\n");
  EXPECT_EQ(fs.Content(Path("R.001")), input);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FasyVolaFiles, EachFailureIsShownAndTheJobFails) {
  fs.Put(Path("R.001"), JoinLines({kHeader, Discount("A", "000", "002", ""), Payment("1", "X", "9"), Text("FINE")}));
  std::string job = "stale";
  EXPECT_FALSE(PrepareFasyVolaJob(fs, ui, dir, Path("R.001"), false, job));
  EXPECT_EQ(job, "");
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"ERRORE: Tipo non corrispondente - 13",
                                                   "ERRORE: Codice di pagamento non previsto: 9 - 5"}));
  EXPECT_EQ(fs.Content(Path("FASYCONV.TXT")), "COUP,V,:A;\r\n1,:X;\r\nPRNT,:FINE;\r\n");
}

TEST_F(FasyVolaFiles, FilesThatCannotBeOpened) {
  EXPECT_FALSE(ConvertFasyVolaToSL(fs, ui, Path("MISSING"), Path("OUT"), false));
  EXPECT_FALSE(fs.Has(Path("OUT")));
  fs.Put(Path("R.001"), kHeader);
  EXPECT_FALSE(ConvertFasyVolaToSL(fs, ui, Path("R.001"), "/nowhere/OUT", false));
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"ERRORE: Impossibile trovare il file - 53",
                                                   "ERRORE: Impossibile trovare il percorso - 76"}));
}

}  // namespace
}  // namespace dorvane::test
