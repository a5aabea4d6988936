// Fasy Vola fixed-column receipts to Sarema Language: what the printer gets
// for every record kind, and what happens to a file with a bad record.
#include <gtest/gtest.h>

#include "convert/fasyvola.h"
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

struct Case {
  std::vector<std::string> records;
  std::string job;
  bool invert = false;
};

TEST(FasyVola, RecordsBecomeSaremaLanguage) {
  const std::string t42(42, 'T'), x41(41, 'X'), ret = "PLUD,C1,N1,P150,:PANE,R;\r\n";
  const std::string r = Sale("03", "150", "1", "PANE"), pct = Discount("SC", "000", "001", "10"),
                    amt = Discount("SC", "000", "002", "1");
  const Case cases[] = {
      {{kHeader, Sale("01", "0000001,50", "001", "PANE", "2"), Sale("03", "0000001,50", "001", "PANE"),
        Payment("12,50", "CONTANTI", "001")},
       "PLUD,C1,N1,P000000150,:PANE,Q2;\r\nPLUD,C1,N1,P000000150,:PANE,R;\r\nCASH,V1250,:CONTANTI;\r\n"},
      // Price keeps its zeros and loses separators; department loses its zeros; text stops at column 82.
      {{kHeader, Sale("1", "  1.234,50", "010", t42, "7")}, "PLUD,C1,N10,P123450,:" + t42 + ",Q7;\r\n"},
      {{kHeader, Sale("1", "100", "2", "  LATTE, 1L; INTERO  ")}, "PLUD,C1,N2,P100,:LATTE, 1L; INTERO;\r\n"},
      {{kHeader, Sale("1", "100", "", " ")}, "PLUD,C1,N0,P100,:;\r\n"},  // a blank field, a blank after it
      {{kHeader, At("1", 28, "100")}, "PLUD,C1,N0,P100,:;\r\n"},
      {{kHeader, "1"}, "PLUD,C1,N0,P,:;\r\n"},
      // Quantity: left out when zero or not a number, otherwise as it stands; none before column 83.
      {{kHeader, Sale("01", "150", "1", "PANE", "000"), Sale("01", "150", "1", "PANE", "ABC"),
        Sale("01", "150", "1", "PANE", "          ")},
       "PLUD,C1,N1,P150,:PANE;\r\nPLUD,C1,N1,P150,:PANE;\r\nPLUD,C1,N1,P150,:PANE;\r\n"},
      {{kHeader, Sale("03", "150", "1", "PANE", "3"), Sale("01", "150", "1", "PANE", "  1.500   ")},
       "PLUD,C1,N1,P150,:PANE,Q3,R;\r\nPLUD,C1,N1,P150,:PANE,Q1.500;\r\n"},
      {{kHeader, Sale("01", "150", "1", x41)}, "PLUD,C1,N1,P150,:" + x41 + ";\r\n"},
      // Nothing before the first header; a second header changes nothing; a header alone is an empty job.
      {{Sale("01", "150", "1", "PANE"), pct, Text("CIAO"), kHeader, Text("DOPO"), "00 SECOND", Text("ANCORA")},
       "PRNT,:DOPO;\r\nPRNT,:ANCORA;\r\n"},
      {{kHeader}, ""},
      {{}, ""},
      // Blanks or letters in the kind columns make a header; an empty line is skipped; 2, 7, 10 write nothing.
      {{"     ", Text("A"), "", Text("B")}, "PRNT,:A;\r\nPRNT,:B;\r\n"},
      {{"XYZ", Text("A")}, "PRNT,:A;\r\n"},
      {{"", Text("A")}, ""},
      {{kHeader, At("2", 5, "DUE"), At("07", 5, "SETTE"), At("10", 5, "DIECI"), At(" 5", 5, "CINQUE")},
       "PRNT,:CINQUE;\r\n"},
      {{kHeader, "5XXX" + std::string(50, 'T') + "OVER"}, "PRNT,:" + std::string(50, 'T') + ";\r\n"},
      // Discounts: on the last line commas in the text become points; on the subtotal the text stays.
      {{kHeader, Discount("SCONTO", "000", "001", "10"), Discount("SC,1", "000", "001", "7,5"),
        Discount("SU,BT", "001", "001", "10")},
       "DISC,%10,:SCONTO 10.00%;\r\nDISC,%7,5,:SC.1 7.50%;\r\nDOST,%10,:SU,BT;\r\n"},
      {{kHeader, Discount("B", "000", "002", "2,50"), Discount("B", "009", "000", "2.50"), Discount("B", "000", "", "3")},
       "COUP,V250,:B;\r\nCOST,V250,:B;\r\nCOUP,V300,:B;\r\n"},
      {{kHeader, r, pct, r, amt}, ret + "DISC,%10,:SC 10.00%;\r\n" + ret + "COUP,V100,:SC;\r\n"},  // no inversion
      // Inversion: only the first discount after a return, and only until a sale or a subtotal discount.
      {{kHeader, r, pct, pct}, ret + "MAGG,%10,:SC 10.00%;\r\nDISC,%10,:SC 10.00%;\r\n", true},
      {{kHeader, r, amt}, ret + "ADDI,V100,:SC;\r\n", true},
      {{kHeader, r, Sale("01", "150", "1", "PANE"), pct}, ret + "PLUD,C1,N1,P150,:PANE;\r\nDISC,%10,:SC 10.00%;\r\n", true},
      {{kHeader, r, Text("X"), Payment("1", "C", "1"), amt}, ret + "PRNT,:X;\r\nCASH,V1,:C;\r\nADDI,V100,:SC;\r\n", true},
      {{kHeader, r, Discount("ST", "001", "002", "1"), amt}, ret + "COST,V100,:ST;\r\nCOUP,V100,:SC;\r\n", true},
      {{kHeader, r, Discount("ST", "001", "001", "5")}, ret + "DOST,%5,:ST;\r\n", true},
      // Up to the 32-bit operand; decimals past the cents rounded half to even.
      {{kHeader, Discount("A", "000", "002", "21474836,4"), Discount("A", "000", "002", "2,505"),
        Discount("B", "000", "002", "2,515"), Discount("C", "000", "002", "-1,5"), Discount("D", "000", "001", ",5"),
        Discount("E", "000", "001", "0")},
       "COUP,V2147483640,:A;\r\nCOUP,V250,:A;\r\nCOUP,V252,:B;\r\nCOUP,V-150,:C;\r\nDISC,%,5,:D 0.50%;\r\n"
       "DISC,%0,:E 0.00%;\r\n"},
      // Payment codes; text in columns 13 to 48.
      {{kHeader, Payment("1.012,50", "P", "1"), Payment("1", "P", "2"), Payment("1", "P", "3"), Payment("1", "P", "4"),
        Payment("1", "P", "005"), Payment("1", "P", " 40"), Payment("100", std::string(36, 'T') + "1", "1")},
       "CASH,V101250,:P;\r\nCHEQ,V1,:P;\r\nCARD,V1,:P;\r\nTEND,N4,V1,:P;\r\nCASH,V1,:P;\r\nTEND,N4,V1,:P;\r\n"
       "CASH,V100,:" + std::string(36, 'T') + ";\r\n"},
  };
  for (const Case& k : cases) EXPECT_EQ(Convert(k.records, k.invert), k.job) << k.job;
  // CR alone ends a record as CR LF does; a last record without a line end still counts.
  EXPECT_EQ(ConvertFasyVolaText("00\r" + Text("A") + "\r\n" + Text("B"), false).output, "PRNT,:A;\r\nPRNT,:B;\r\n");
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
  EXPECT_EQ(std::vector<int>({r.failures[0].number, r.failures[1].number, r.failures[2].number}),
            std::vector<int>({kErrTypeMismatch, kErrTypeMismatch, kErrOverflow}));
  EXPECT_EQ(ConvertFasyVolaText(JoinLines({kHeader, Discount("A", "000", "002", "21474837")}), false).failures.at(0).number,
            kErrOverflow);
  for (const char* bad : {"1,2,3", "1 2", "1e3", "-", ",", "2,50EUR"})
    EXPECT_FALSE(ConvertFasyVolaText(JoinLines({kHeader, Discount("A", "000", "002", bad)}), false).ok()) << bad;
}

class FasyVolaFiles : public ::testing::Test {
 protected:
  FasyVolaFiles() { fs.AddDir(dir); }
  std::string Path(const char* name) { return JoinPath(dir, name); }
  static MessageSink Show(FakeUi& ui) {
    return [&ui](const std::string& m) { ui.ShowMessage(m); };
  }
  MemFileSystem fs;
  FakeUi ui;
  std::string dir = "/shop/in";
};

TEST_F(FasyVolaFiles, EachFailureIsShownAndTheJobFails) {
  fs.Put(Path("R.001"), JoinLines({kHeader, Discount("A", "000", "002", ""), Payment("1", "X", "9"), Text("FINE")}));
  std::string job = "stale";
  EXPECT_FALSE(PrepareFasyVolaJob(fs, Show(ui), dir, Path("R.001"), false, job));
  EXPECT_EQ(job, "");
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"ERRORE: Tipo non corrispondente - 13",
                                                   "ERRORE: Codice di pagamento non previsto: 9 - 5"}));
  EXPECT_EQ(fs.Content(Path("FASYCONV.TXT")), "COUP,V,:A;\r\n1,:X;\r\nPRNT,:FINE;\r\n");
}

TEST_F(FasyVolaFiles, FilesThatCannotBeOpened) {
  EXPECT_FALSE(ConvertFasyVolaToSL(fs, Show(ui), Path("MISSING"), Path("OUT"), false));
  EXPECT_FALSE(fs.Has(Path("OUT")));
  fs.Put(Path("R.001"), kHeader);
  EXPECT_FALSE(ConvertFasyVolaToSL(fs, Show(ui), Path("R.001"), "/nowhere/OUT", false));
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"ERRORE: Impossibile trovare il file - 53",
                                                   "ERRORE: Impossibile trovare il percorso - 76"}));
}

}  // namespace
}  // namespace dorvane::test
