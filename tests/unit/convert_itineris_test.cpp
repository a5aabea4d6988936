// Itineris XML receipts to Sarema Language: the intermediate file, the two
// passes, the printed lines and the error log.
#include <gtest/gtest.h>

#include "convert/itineris.h"
#include "support/fakes.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

const std::string kSep = "PRNT,:-------------------;\r\n";
const std::string kEnd = kSep + "SUBT;\r\n";

// One DETTAGLIO element; `extra` holds further elements as written.
std::string Line(const std::string& code, const std::string& desc, const std::string& qta, const std::string& price,
                 const std::string& amount, const std::string& extra = "") {
  return "  <DETTAGLIO>\r\n    <CODICE>" + code + "</CODICE>\r\n    <DESCRIZIONE>" + desc +
         "</DESCRIZIONE>\r\n    <QTA>" + qta + "</QTA>\r\n    <PREZZO>" + price + "</PREZZO>\r\n    <IMPORTO>" +
         amount + "</IMPORTO>\r\n" + extra + "  </DETTAGLIO>\r\n";
}

std::string Receipt(const std::string& lines) {
  return "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<SCONTRINO>\r\n" + lines + "</SCONTRINO>\r\n";
}

// XML straight to the job, through both steps; the status must be ok.
std::string Job(const std::string& xml) {
  std::string out;
  Status st = ConvertXmlToSLText(SplitXmlTagsText(xml), out);
  EXPECT_TRUE(st.ok()) << st.description;
  return out;
}

TEST(ItinerisSplit, OneTagOrValuePerLine) {
  EXPECT_EQ(SplitXmlTagsText("<A><B>123</B><C></C>  <D/>x</A>"),
            "<A>\r\n<B>\r\n123\r\n</B>\r\n<C>\r\n\r\n</C>\r\n  <D/>\r\nx\r\n</A>\r\n\r\n");
  // Line ends go (CR LF and CR alone), so a tag split over lines is whole again
  // and many lines give what one line gives.
  EXPECT_EQ(SplitXmlTagsText("<A>\r\n<B>1</\r\nB>\r</A>"), SplitXmlTagsText("<A><B>1</B></A>"));
  EXPECT_EQ(SplitXmlTagsText("<A\r\n>x<\r\n/A>"), "<A>\r\nx\r\n</A>\r\n\r\n");
  // A lone LF is no line end and stays; a "<" at the very end stays as it is.
  EXPECT_EQ(SplitXmlTagsText("<A>\nv<"), "<A>\r\n\nv<\r\n");
  EXPECT_EQ(SplitXmlTagsText("x"), "x\r\n");
}

TEST(ItinerisReadTagValue, UpperCaseTrimmedWithPoints) {
  std::string v;
  LineReader r("  pane bianco  \r\n1,5\r\n\r\n   \r\n</QTA>\r\na<b\r\n\t\xE0\xE8\t");
  std::vector<std::string> got;
  while (ReadTagValue(r, v)) got.push_back(v);
  EXPECT_EQ(got, (std::vector<std::string>{"PANE BIANCO", "1.5", "", "", "", "", "\xC0\xC8"}));
  EXPECT_FALSE(ReadTagValue(r, v));
}

TEST(ItinerisConvert, SoldLinesFirstThenReturns) {
  std::string reso = "<CAUSALE_RIGA>reso</CAUSALE_RIGA>";
  std::string xml = Receipt(Line("R1", "a", "1", "1.00", "1.00", reso) + Line("S1", "b", "1", "2.00", "2.00") +
                            Line("R2", "c", "1", "3.00", "3.00", reso) +
                            // A later reason other than RESO clears the mark again.
                            Line("S2", "d", "1", "4.00", "4.00", reso + "<CAUSALE_RIGA>VENDITA</CAUSALE_RIGA>"));
  auto block = [](const char* code, const char* desc, const char* p, bool r) {
    return kSep + "PRNT,:" + code + ";\r\nPRNT,:" + desc + ";\r\nPLUD,N1,C1,: ,P" + p + (r ? ",R" : "") + ";\r\n";
  };
  EXPECT_EQ(Job(xml), "OPER,C1;\r\n" + block("S1", "B", "200", false) + block("S2", "D", "400", false) +
                          block("R1", "A", "100", true) + block("R2", "C", "300", true) + kEnd);
  // Returns only: the opening still comes first.
  EXPECT_EQ(Job(Receipt(Line("R1", "a", "1", "1.00", "1.00", reso))), "OPER,C1;\r\n" + block("R1", "A", "100", true) + kEnd);
}

TEST(ItinerisConvert, ADroppedLineLeavesTheReaderInsideALine) {
  // So a field written between two lines belongs to the next one when the
  // line before it was dropped, and to none when it was written.
  std::string between = "<CODICE>FUORI</CODICE>";
  std::string reso = "<CAUSALE_RIGA>RESO</CAUSALE_RIGA>";
  std::string next = "<DETTAGLIO><IMPORTO>2.00</IMPORTO><PREZZO>2.00</PREZZO></DETTAGLIO>";
  EXPECT_EQ(Job(Receipt("<DETTAGLIO><IMPORTO>1.00</IMPORTO><PREZZO>1.00</PREZZO>" + reso + "</DETTAGLIO>" + between + next)),
            "OPER,C1;\r\n" + kSep + "PRNT,:FUORI;\r\nPRNT,:;\r\nPLUD,N1,C1,: ,P200;\r\n" + kSep +
                "PRNT,:;\r\nPRNT,:;\r\nPLUD,N1,C1,: ,P100,R;\r\n" + kEnd);
}

TEST(ItinerisConvert, EmptyReceiptsAndWhatFollowsAReceipt) {
  const std::string a = "OPER,C1;\r\n" + kSep + "PRNT,:A;\r\nPRNT,:X;\r\nPLUD,N1,C1,: ,P100;\r\n" + kEnd;
  const std::string first = Receipt(Line("A", "x", "1", "1.00", "1.00"));
  const std::pair<std::string, std::string> cases[] = {
      {Receipt(""), kEnd}, {"<SCONTRINO></SCONTRINO>", kEnd}, {"\r\n", kEnd},
      // A line not closed before the receipt ends is lost.
      {"<SCONTRINO><DETTAGLIO><CODICE>1</CODICE><IMPORTO>1.00</IMPORTO></SCONTRINO>", kEnd},
      // Nothing after the receipt is read, not even a broken field whose value would run past the end.
      {first + Receipt(Line("B", "y", "1", "2.00", "2.00")), a}, {first + "<CODICE>", a},
      // Empty elements, and values holding a "<".
      {Receipt("<DETTAGLIO><CODICE></CODICE><DESCRIZIONE>a<b</DESCRIZIONE><IMPORTO>1.00</IMPORTO>"
               "<PREZZO>1.00</PREZZO></DETTAGLIO>"),
       "OPER,C1;\r\n" + kSep + "PRNT,:;\r\nPRNT,:;\r\nPLUD,N1,C1,: ,P100;\r\n" + kEnd}};
  for (const auto& [xml, job] : cases) EXPECT_EQ(Job(xml), job) << xml;
}

TEST(ItinerisConvert, ListPriceLineWhenQuantityOrPriceDiffer) {
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"1", "1.50", "1.50", "none"}, {"", "1.50", "1.50", "none"}, {"1", "2,00", "1,80", "PR.LIST. 1 X 2.00"},
      {"1", "1.5", "1.50", "PR.LIST. 1 X 1.5"} /* compared as texts */, {"2", "1.50", "1.50", "PR.LIST. 2 X 1.50"},
      // Quantities rounded half to even.
      {"2,5", "1.00", "2.50", "PR.LIST. 2 X 1.00"}, {"3.5", "1.00", "3.50", "PR.LIST. 4 X 1.00"},
      {"1.5", "1.00", "1.00", "PR.LIST. 2 X 1.00"}, {"0,5", "1.00", "1.00", "none"}};
  for (auto [qta, price, amount, line] : cases) {
    std::string job = Job(Receipt(Line("C", "D", qta, price, amount)));
    std::size_t at = job.find("PR.LIST.");
    EXPECT_EQ(at == std::string::npos ? "none" : job.substr(at, job.find(";", at) - at), line) << qta << " " << price;
  }
}

TEST(ItinerisConvert, DiscountLines) {
  std::string job = Job(Receipt(Line("C", "D", "1", "1.00", "1.00",
                                     "<SCONTO1></SCONTO1><SCONTO2>10</SCONTO2><SCONTO3>-5</SCONTO3>") +
                                Line("C", "D", "1", "1.00", "1.00",
                                     "<SCONTO1>2,5</SCONTO1><SCONTO2>0</SCONTO2><SCONTO3>x</SCONTO3>")));
  std::string tail = "PRNT,:C;\r\nPRNT,:D;\r\nPLUD,N1,C1,: ,P100;\r\n";
  EXPECT_EQ(job, "OPER,C1;\r\n" + kSep + "PRNT,:SCONTO2 10 % ;\r\n" + tail + kSep + "PRNT,:SCONTO1 2.5 % ;\r\n" + tail +
                     kEnd);
}

TEST(ItinerisConvert, CaseAndIndentationDoNotMatter) {
  std::string lower =
      "<scontrino>\r\n\t<dettaglio>\r\n\t\t<codice> ab1 </codice>\r\n\t\t<descrizione>caff\xE8</descrizione>\r\n"
      "\t\t<importo>0,90</importo><prezzo>0,90</prezzo>\r\n\t</Dettaglio>\r\n</Scontrino>\r\n";
  std::string expected = "OPER,C1;\r\n" + kSep + "PRNT,:AB1;\r\nPRNT,:CAFF\xC8;\r\nPLUD,N1,C1,: ,P090;\r\n" + kEnd;
  EXPECT_EQ(Job(lower), expected);
  // Files whose lines end in a line feed alone read the same.
  std::string lf = lower;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  EXPECT_EQ(Job(lf), expected);
}

TEST(ItinerisConvert, AmountIsAlwaysSentInCents) {
  const std::pair<const char*, const char*> cases[] = {
      {"3,00", "300"}, {"3", "300"},           {"3.5", "350"},                {"3.", "300"},    {",5", "50"},
      {"3.000", "300"}, {"1.234,50", "123450"}, {"1.234.567,00", "123456700"}, {"-2,00", "-200"}};
  for (auto [amount, operand] : cases) {
    std::string job = Job(Receipt(Line("C", "D", "1", amount, amount)));
    std::size_t at = job.find(",P");
    EXPECT_EQ(job.substr(at + 2, job.find(';', at) - at - 2), operand) << amount;
  }
}

TEST(ItinerisConvert, FailuresKeepWhatWasWritten) {
  std::string out;
  std::string good = Line("A", "x", "1", "1.00", "1.00");
  // An amount that cannot be read exactly.
  for (const char* bad : {"", "1.234", "1,2,3", "3,005", "EUR 3", "1.23.00"}) {
    Status st = ConvertXmlToSLText(SplitXmlTagsText(Receipt(good + Line("B", "y", "1", "1", bad))), out);
    EXPECT_EQ(st.number, kErrTypeMismatch) << bad;
    EXPECT_EQ(out, "OPER,C1;\r\n" + kSep + "PRNT,:A;\r\nPRNT,:X;\r\nPLUD,N1,C1,: ,P100;\r\n" + kSep +
                       "PRNT,:PR.LIST. 1 X 1;\r\nPRNT,:B;\r\nPRNT,:Y;\r\n")
        << bad;
  }
  // A quantity outside 16 bits.
  Status st = ConvertXmlToSLText(SplitXmlTagsText(Receipt(Line("B", "y", "32767,5", "1", "1"))), out);
  EXPECT_EQ(st.number, kErrOverflow);
  EXPECT_EQ(out, "OPER,C1;\r\n" + kSep);
  EXPECT_TRUE(ConvertXmlToSLText(SplitXmlTagsText(Receipt(Line("B", "y", "-32768,5", "1", "1"))), out).ok());
  // A field tag on the last line: its value would be read past the end.
  EXPECT_EQ(ConvertXmlToSLText("<SCONTRINO>\r\n<DETTAGLIO>\r\n<CODICE>", out).number, kErrInputPastEnd);
}

class ItinerisFiles : public ::testing::Test {
 protected:
  ItinerisFiles() { fs.AddDir(dir); }
  std::string Path(const char* name) { return JoinPath(dir, name); }
  std::string Log() { return fs.Content(Path("ITINERIS_ERR.LOG")); }
  bool Prepare(const std::string& xml) {
    fs.Put(Path("R.xml"), xml);
    return PrepareItinerisJob(fs, clock, dir, Path("R.xml"), job);
  }
  VirtualClock clock{{2026, 3, 5, 9, 7, 3}};
  MemFileSystem fs;
  std::string dir = "/shop/in";
  std::string job;
  ItinerisErrorLog log{fs, clock, JoinPath(dir, "ITINERIS_ERR.LOG")};
};

TEST_F(ItinerisFiles, HandOffWritesBothWorkFiles) {
  std::string xml = Receipt(Line("1", "a", "1", "1.00", "1.00"));
  fs.Put(Path("xout2.tmp"), "an older job, longer than the new one, that must not survive\r\n");
  ASSERT_TRUE(Prepare(xml));
  EXPECT_EQ(job, Path("xout2.tmp"));
  EXPECT_EQ(fs.Content(Path("xout1.tmp")), SplitXmlTagsText(xml));
  EXPECT_EQ(fs.Content(job), "OPER,C1;\r\n" + kSep + "PRNT,:1;\r\nPRNT,:A;\r\nPLUD,N1,C1,: ,P100;\r\n" + kEnd);
  EXPECT_EQ(fs.Content(Path("R.xml")), xml);
  EXPECT_FALSE(fs.Has(Path("ITINERIS_ERR.LOG")));
}

TEST_F(ItinerisFiles, MissingOrEmptyInputFailsWithoutALogLine) {
  EXPECT_FALSE(SplitXmlTags(fs, log, Path("NONE.xml"), Path("xout1.tmp")));
  job = "stale";
  EXPECT_FALSE(Prepare(""));
  EXPECT_EQ(job, "");
  EXPECT_FALSE(fs.Has(Path("xout2.tmp")));
  fs.Put(Path("x1"), "");
  fs.Put(Path("x2"), "old");
  EXPECT_FALSE(ConvertXmlToSL(fs, log, Path("x1"), Path("x2")));
  EXPECT_FALSE(fs.Has(Path("x2")));  // the old job is gone all the same
  EXPECT_FALSE(ConvertXmlToSL(fs, log, Path("NONE"), Path("x2")));
  EXPECT_FALSE(fs.Has(Path("ITINERIS_ERR.LOG")));
}

TEST_F(ItinerisFiles, FailuresAreLoggedAndTheConversionLeavesThePartialJob) {
  fs.Put(Path("ITINERIS_ERR.LOG"), "earlier\r\n");
  EXPECT_FALSE(Prepare(Receipt(Line("1", "a", "70000", "1.00", "1.00"))));
  EXPECT_EQ(fs.Content(Path("xout2.tmp")), "OPER,C1;\r\n" + kSep);
  clock.Sleep(86400 * 1000);
  EXPECT_FALSE(Prepare(Receipt(Line("1", "a", "1", "1.00", "3 EURO"))));
  EXPECT_FALSE(SplitXmlTags(fs, log, Path("R.xml"), "/nowhere/xout1.tmp"));
  EXPECT_EQ(Log(),
            "earlier\r\n260305_090703 -> 1: Overflow - 6\r\n"
            "260306_090703 -> 1: Importo della riga non valido: 3 EURO - 13\r\n"
            "260306_090703 -> 2: Impossibile trovare il percorso - 76\r\n");
}

TEST_F(ItinerisFiles, AbsurdlyLargeInputIsRefused) {
  std::string xml = Receipt("");
  EXPECT_TRUE(Prepare(xml + std::string(kMaxItinerisInputBytes - xml.size(), ' ')));
  EXPECT_FALSE(Prepare(xml + std::string(kMaxItinerisInputBytes + 1 - xml.size(), ' ')));
  EXPECT_EQ(Log(), "260305_090703 -> 2: File di input troppo grande: 16777217 byte (massimo 16777216) - 6\r\n");
  EXPECT_FALSE(fs.Has(Path("xout1.tmp")));
  EXPECT_FALSE(SplitXmlTags(fs, log, Path("R.xml"), Path("xout1.tmp")));
}

}  // namespace
}  // namespace dorvane::test
