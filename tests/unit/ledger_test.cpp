// The receipt ledger: SHA-256 against the published vectors, one durable
// chained record per settled job, exactly once across a crash, kept and
// caught up when it cannot be written, torn lines left outside the chain;
// the chain check, the CSV, the day's summary and the window's menu.
#include <gtest/gtest.h>

#include <algorithm>

#include "ledger/ledger_queries.h"
#include "ledger/line_filter.h"
#include "ledger/receipt_ledger.h"
#include "ledger/reports.h"
#include "support/fakes.h"
#include "text/paths.h"
#include "text/sha256.h"

namespace dorvane::test {
namespace {

using ledger::Record;

// Both codes: the processor's SHA instructions where it has them, and the
// plain code every machine runs.
class Sha256Code : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { Sha256::UsePlainCode(GetParam()); }
  void TearDown() override { Sha256::UsePlainCode(false); }
};
INSTANTIATE_TEST_SUITE_P(Sha256, Sha256Code, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Plain" : "Best"; });

TEST_P(Sha256Code, PublishedVectorsAndPiecesInAnyLengths) {
  EXPECT_EQ(Sha256::Code(), std::string(GetParam() ? "plain" : Sha256::Code()));
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  const std::string million(1000000, 'a');
  EXPECT_EQ(Sha256Hex(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  Sha256 h;
  for (std::size_t at = 0, step = 1; at < million.size(); at += step, step = step * 3 % 97 + 1)
    h.Update(std::string_view(million).substr(at, step));
  EXPECT_EQ(HexDigest(h.Final()), Sha256Hex(million));
}

TEST(LedgerFormat, Windows1252TextsBecomeUtf8AndComeBack) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  const std::string utf8 = ledger::Cp1252ToUtf8(all);
  EXPECT_TRUE(ledger::IsValidUtf8(utf8));
  // A hand-edited file: overlong forms, surrogates, past U+10FFFF, cut short.
  for (const char* bad : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
    EXPECT_FALSE(ledger::IsValidUtf8(bad)) << bad;
  EXPECT_EQ(ledger::Utf8ToCp1252(utf8), all);
  EXPECT_EQ(ledger::Cp1252ToUtf8("CAFF\xC8 \x80"), "CAFF\xC3\x88 \xE2\x82\xAC");
  // Names: UTF-8 kept where the system's names are UTF-8, any other bytes
  // read as Windows-1252; Windows' names are always Windows-1252.
  const bool windows = kPathSep == '\\';
  for (const auto& [name, linux, win] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"CAFF\xC3\x88.001", "CAFF\xC3\x88.001", "CAFF\xC3\x83\xCB\x86.001"},
           {"CAFF\xC8.001", "CAFF\xC3\x88.001", "CAFF\xC3\x88.001"},
           {"PLAIN.001", "PLAIN.001", "PLAIN.001"}})
    EXPECT_EQ(NameToUtf8(name), windows ? win : linux) << name;
  Record r;
  r.n = 7;
  r.input = ledger::Cp1252ToUtf8("PRIM\xC0\"\\.001");
  r.answer = "SCONTRINO=1\r\nTOTALE=1,00\r\n\x01";
  r.filedAs = {"/out/a", "/err/\"b\""};
  r.copies = {"DORVREG-1-INPUT.txt"};
  r.filedNote = "ARCHIVIATO CON UN ALTRO NOME";
  r.previous = ledger::kNoPrevious;
  r.settled = "2026-03-05 09:00:00";
  const std::string line = ledger::ToLine(r);
  EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
  Record back;
  ASSERT_TRUE(ledger::FromLine(line + "\r\n", back));
  EXPECT_EQ(ledger::ToLine(back), line);
  EXPECT_FALSE(ledger::FromLine(line.substr(0, line.size() - 3), back));
  EXPECT_FALSE(ledger::FromLine("{\"n\":1,\"input\":\"\xC8\"}", back, false)) << "not UTF-8";
  // Escaped pairs, and fields of others (a number) skipped.
  ASSERT_TRUE(ledger::FromLine("{\"altro\":-1.5e3,\"input\":\"\\ud800\\udc00\"}", back, false));
  EXPECT_EQ(back.input, "\xF0\x90\x80\x80");
  // The chain check's quick reading agrees with the whole one on every cut and change of the line.
  for (std::size_t i = 0; i < line.size(); ++i) {
    std::string changed = line;
    changed[i] = changed[i] == '"' ? 'x' : '"';
    for (const std::string& l : {line.substr(0, i), changed}) {
      std::uint64_t n = 0;
      std::string previous;
      EXPECT_EQ(ledger::ChainFields(l, n, previous), ledger::FromLine(l, back)) << l;
    }
  }
  std::int64_t cents = 0;
  for (auto [text, want] : {std::pair{"12,50", 1250}, {"-3,5", -350}, {"1.234,05", 123405}, {"7", 700}}) {
    ASSERT_TRUE(ledger::ParseAmount(text, cents)) << text;
    EXPECT_EQ(cents, want) << text;
  }
  EXPECT_FALSE(ledger::ParseAmount("N/D", cents));
  EXPECT_EQ(ledger::FormatAmount(-305), "-3,05");
}

TEST(LedgerFormat, LedgerFilesAreKnownInAnyLetterCase) {
  for (const char* name : {"DORVREG-2026-03.jsonl", "dorvreg-2026-12.JSONL", "DORVREG-PENDENTI.jsonl",
                           "DORVREG-PENDENTI.jsonl.tmp", "DORVREG-RIEPILOGO.txt", "dorvreg-riepilogo.TXT.tmp"})
    EXPECT_TRUE(IsLedgerFile(name)) << name;
  for (const char* name : {"DORVREG-2026-13.jsonl", "DORVREG-2026-3.jsonl", "SCONTRINO.001", "DORVREG.001",
                           "DORVREG-2026-03.jsonl.001"})
    EXPECT_FALSE(IsLedgerFile(name)) << name;
}

class Ledger : public ::testing::Test {
 protected:
  Ledger() {
    mem.AddDir(dir);
    mem.AddDir(in);
    Restart();
  }
  void Restart() {
    ledger = std::make_unique<ReceiptLedger>(fs, clock, [this] { return dir; },
                                             [this](LedgerNotice what, const std::string& line) {
                                               if (what != LedgerNotice::kCopyKept)
                                                 notices.push_back((what == LedgerNotice::kNotWritable ? "!" : "") + line);
                                             });
  }
  Job Sale(const std::string& id, Outcome outcome = Outcome::kPrinted, const std::string& name = "S.001") {
    Job j;
    j.outcome = outcome;
    j.id = id;
    j.input = JoinPath(in, name);
    j.layout = InputLayout::kFasyVola;
    j.dataSize = 42;
    j.dataChecksum = 0xABCDEF01u;
    j.time = clock.Now().Stamp();
    j.text = outcome == Outcome::kPrinted ? "ESITO=OK\r\nSCONTRINO=" + id + "\r\nTOTALE=12,50\r\n" : "E012: CARTA";
    j.filedAs = {JoinPath(in, name + ".OUT")};
    mem.Put(j.input, "receipt " + id);
    return j;
  }
  std::string Month(const std::string& ym) const { return JoinPath(dir, ledger::MonthFileName(ym)); }
  // The records of the month file, with the file's lines.
  std::vector<Record> Records(const std::string& ym, std::vector<std::string>* lines = nullptr) {
    std::vector<Record> out;
    ledger::ForEachLine(mem.Content(Month(ym)), [&](std::string_view line) {
      Record r;
      if (ledger::FromLine(line, r)) out.push_back(r);
      if (lines) lines->push_back(std::string(ledger::WithoutLineEnd(line)));
    });
    return out;
  }
  ledger::ChainVerifier Verify(const std::vector<std::string>& months) {
    ledger::ChainVerifier v;
    for (const std::string& ym : months) {
      std::uint64_t n = 0;
      ledger::ForEachLine(mem.Content(Month(ym)), [&](std::string_view line) { v.Line(ym, ++n, line); });
    }
    return v;
  }

  const std::string dir = kPathSep == '\\' ? "C:\\d" : "/d";
  const std::string in = kPathSep == '\\' ? "C:\\in" : "/in";
  VirtualClock clock{{2026, 3, 5, 9, 0, 0}};
  MemFileSystem mem{&clock};
  FaultyFileSystem fs{mem};
  std::unique_ptr<ReceiptLedger> ledger;
  std::vector<std::string> notices;
};

TEST_F(Ledger, EachOutcomeIsOneDurableRecordChainedToTheOneBefore) {
  Job printed = Sale("1", Outcome::kPrinted, "CAFF\xC8.001");
  ledger->Settled(printed);
  mem.PowerCut();  // the record was flushed before Settled returned, the new file's entry too
  clock.Sleep(5000);
  Job refused = Sale("2", Outcome::kRefused);
  refused.data = "VEND,1;";  // converted: the job differs from the input
  ledger->Settled(refused);
  Job failed = Sale("", Outcome::kInputFailed);
  failed.text = "ERRORE CONVERSIONE";
  ledger->Settled(failed);
  Job unknown = Sale("3", Outcome::kUnknown);
  unknown.data = "receipt 3";
  fs.FailPath(JoinPath(dir, "DORVREG-3-INPUT.txt.tmp"), 2);  // its copy fails twice: kept, not yet durable
  ledger->Settled(unknown);
  EXPECT_FALSE(ledger->Recorded());
  ledger->Poll();
  EXPECT_TRUE(ledger->Recorded());
  mem.PowerCut();
  std::vector<std::string> lines;
  const std::vector<Record> r = Records("2026-03", &lines);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(std::tie(r[0].input, r[0].inputSha256, r[0].layout, r[0].dataFnv1a, r[0].receipt, r[0].total, r[0].answer),
            std::make_tuple("CAFF\xC3\x88.001", Sha256Hex("receipt 1"), "fasyvola", "abcdef01", "1", "12,50", printed.text));
  EXPECT_EQ(std::tie(r[0].inputBytes, r[0].dataBytes, r[0].settled, r[1].settled),
            std::make_tuple(9u, 42u, "2026-03-05 09:00:00", "2026-03-05 09:00:05"));
  EXPECT_EQ(std::tie(r[1].outcome, r[1].reason, r[2].outcome, r[2].dataFnv1a, r[2].layout, r[3].outcome),
            std::make_tuple("rifiutato", "E012: CARTA", "fallito", "", "", "sconosciuto"));
  // Each job that did not print keeps its bytes under its own name.
  using Names = std::vector<std::string>;
  EXPECT_EQ(r[0].copies, Names{});
  EXPECT_EQ(r[1].copies, (Names{"DORVREG-2-INPUT.txt", "DORVREG-2-KORA1.txt"}));
  EXPECT_EQ(r[2].copies, Names{"DORVREG-20260305090005-" + Sha256Hex("receipt ").substr(0, 16) + "-INPUT.txt"});
  EXPECT_EQ(r[3].copies, Names{"DORVREG-3-INPUT.txt"});
  for (const auto& [name, bytes] : {std::pair{r[1].copies[0], "receipt 2"}, {r[1].copies[1], "VEND,1;"},
                                    {r[2].copies[0], "receipt "}, {r[3].copies[0], "receipt 3"}})
    EXPECT_TRUE(mem.Content(JoinPath(dir, name)) == bytes && IsLedgerFile(name)) << name;
  EXPECT_EQ(r[0].previous, ledger::kNoPrevious);
  for (std::size_t i = 1; i < r.size(); ++i) {
    EXPECT_EQ(r[i].n, i + 1);
    EXPECT_EQ(r[i].previous, Sha256Hex(lines[i - 1]));
  }
  EXPECT_TRUE(Verify({"2026-03"}).Whole());
  EXPECT_EQ(notices.size(), 2u);  // the copy that failed, and then written
}

TEST_F(Ledger, AJobAgainAfterACrashIsNeverRecordedTwice) {
  ledger->Settled(Sale("A"));
  ledger->Settled(Sale("B"));
  Job again = Sale("B");
  again.recovered = true;
  ledger->Settled(again);
  Restart();  // the crash: recovery settles both again
  Job a = Sale("A");
  a.recovered = true;
  ledger->Settled(a);
  ledger->Settled(again);
  Job c = Sale("C");
  c.recovered = true;  // settled only now: recorded, marked
  ledger->Settled(c);
  const std::vector<Record> r = Records("2026-03");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[2].id, "C");
  EXPECT_TRUE(r[2].recovered);
  EXPECT_TRUE(Verify({"2026-03"}).Whole());
}

TEST_F(Ledger, AMonthsFirstRecordCarriesTheLastHashOfTheMonthBefore) {
  clock = VirtualClock({2026, 2, 28, 23, 59, 58});
  ledger->Settled(Sale("1"));
  clock.Sleep(4000);
  ledger->Settled(Sale("2"));
  Restart();  // a new run finds February's end from March's empty start
  clock.Sleep(3000);
  ledger->Settled(Sale("3"));
  std::vector<std::string> feb;
  ASSERT_EQ(Records("2026-02", &feb).size(), 1u);
  const std::vector<Record> mar = Records("2026-03");
  ASSERT_EQ(mar.size(), 2u);
  EXPECT_EQ(mar[0].previous, Sha256Hex(feb[0]));
  EXPECT_EQ(mar[0].n, 2u);
  EXPECT_EQ(mar[1].n, 3u);
  EXPECT_TRUE(Verify({"2026-02", "2026-03"}).Whole());
}

TEST_F(Ledger, ATornLastLineStaysOutsideTheChainOnALineOfItsOwn) {
  ledger->Settled(Sale("1"));
  std::vector<std::string> lines;
  Records("2026-03", &lines);
  mem.Put(Month("2026-03"), mem.Content(Month("2026-03")) + lines[0].substr(0, 40));  // the power went mid-line
  Restart();
  ledger->Settled(Sale("2"));
  lines.clear();
  const std::vector<Record> r = Records("2026-03", &lines);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], lines[0].substr(0, 40));
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[1].previous, Sha256Hex(lines[0]));
  ledger::ChainVerifier v = Verify({"2026-03"});
  EXPECT_TRUE(v.Whole()) << v.Report();
  EXPECT_NE(v.Report().find("2026-03 riga 2"), std::string::npos) << v.Report();
  // Torn at the end, with no record after it: not whole.
  mem.Put(Month("2026-03"), mem.Content(Month("2026-03")) + "{\"n\":3,");
  EXPECT_FALSE(Verify({"2026-03"}).Whole());
}

TEST_F(Ledger, AnUnwritableLedgerKeepsItsRecordsAndWritesThemInOrderOnceItCan) {
  ledger->Settled(Sale("1"));
  fs.SetDiskFull(true);  // half a line reaches the file, then the error
  ledger->Settled(Sale("2"));
  fs.SetDiskFull(false);
  fs.FailPath(Month("2026-03"), 1000);
  ledger->Settled(Sale("3"));
  ledger->Poll();
  EXPECT_EQ(ledger->Waiting(), 2u);
  ASSERT_EQ(notices.size(), 1u) << "told once";
  EXPECT_EQ(notices[0].rfind("!REGISTRO SCONTRINI NON SCRIVIBILE: " + Month("2026-03") + " ", 0), 0u) << notices[0];
  EXPECT_NE(mem.Content(JoinPath(dir, ledger::kPendingFileName)).find("\"id\":\"3\""), std::string::npos);

  mem.PowerCut();  // the pending file is durable; the program starts again, still failing
  Restart();
  ledger->Poll();
  ledger->Poll();
  ASSERT_EQ(notices.size(), 2u) << "told again at the start, once";
  EXPECT_EQ(notices[1].rfind("!REGISTRO SCONTRINI NON SCRIVIBILE: " + Month("2026-03") + " ", 0), 0u) << notices[1];
  Restart();  // and the next run finds it writable: it tells that it is over
  fs.FailPath(Month("2026-03"), 0);
  ledger->Poll();
  EXPECT_EQ(ledger->Waiting(), 0u);
  EXPECT_FALSE(mem.Has(JoinPath(dir, ledger::kPendingFileName)));
  std::vector<std::string> ids;
  for (const Record& r : Records("2026-03")) ids.push_back(r.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3"}));
  ledger::ChainVerifier v = Verify({"2026-03"});
  EXPECT_TRUE(v.Whole()) << v.Report();
  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices.back(), std::string(kLedgerWritableAgain) + dir);
}

TEST_F(Ledger, APendingFileThatOutlivedItsRecordsAddsNothingTwice) {
  const std::string pending = JoinPath(dir, ledger::kPendingFileName);
  fs.FailPath(Month("2026-03"), 1);
  ledger->Settled(Sale("1"));
  fs.FailPath(pending, 1000000);  // written, then the pending file cannot be removed
  for (int i = 2; i <= 1100; ++i) ledger->Settled(Sale(std::to_string(i)));  // more than the identities remembered
  ASSERT_TRUE(mem.Has(pending));
  fs.FailPath(pending, 0);
  Restart();
  ledger->Poll();
  EXPECT_FALSE(mem.Has(pending));
  EXPECT_EQ(Records("2026-03").size(), 1100u);
}

TEST_F(Ledger, AMissingFolderIsToldOnceAndAgainWhenItComesBack) {
  const std::string other = kPathSep == '\\' ? "C:\\gone" : "/gone";
  std::string folder = other;
  ledger = std::make_unique<ReceiptLedger>(fs, clock, [&] { return folder; },
                                           [this](LedgerNotice w, const std::string& l) {
                                             if (w != LedgerNotice::kCopyKept)
                                               notices.push_back((w == LedgerNotice::kNotWritable ? "!" : "") + l);
                                           });
  ledger->Settled(Sale("1"));
  ledger->Settled(Sale("2"));
  ledger->Poll();
  EXPECT_EQ(notices.size(), 1u);
  EXPECT_EQ(ledger->Waiting(), 2u);
  folder = dir;
  ledger->Poll();
  EXPECT_EQ(notices.size(), 2u);
  EXPECT_EQ(Records("2026-03").size(), 2u);
}

// One table: a byte changed, a line removed, two lines swapped, inside a
// month and across the boundary; the first record where the chain breaks.
// What the HTTP door reads: a day, a span across a month's end, the chain.
TEST_F(Ledger, TheDoorsQueriesReadTheirDaysAndSpansOnly) {
  clock = VirtualClock({2026, 2, 28, 23, 59, 0});
  for (int i = 1; i <= 6; ++i) {
    ledger->Settled(Sale(std::to_string(i)));
    clock.Sleep(20000);  // 1-3 on 28 February, 4-6 on 1 March
  }
  std::vector<std::string> got;
  ledger::RangeLines(fs, dir, "2026-03-01 00:00:00", "2026-03-01 00:00:30", [&](std::string_view line) {
    got.emplace_back(line);
    return true;
  });
  ASSERT_EQ(got.size(), 2u);
  EXPECT_NE(got[1].find("\"id\":\"5\""), std::string::npos);
  got.clear();
  ledger::RangeLines(fs, dir, "", "", [&](std::string_view line) {
    got.emplace_back(line);
    return got.size() < 4;  // the caller went away
  });
  EXPECT_EQ(got.size(), 4u);
  EXPECT_NE(ledger::DayJson(fs, dir, "2026-02-28").find("\"records\":[{\"n\":1,"), std::string::npos);
  EXPECT_EQ(ledger::VerifyJson(fs, dir).rfind("{\"whole\":true,\"records\":6,", 0), 0u);
  // A record noted earlier: whole while the chain holds it, not once it has
  // been cut off the end.
  std::vector<std::string> march;
  Records("2026-03", &march);
  const std::string head = Sha256Hex(march.back());
  EXPECT_EQ(ledger::VerifyJson(fs, dir, head).rfind("{\"whole\":true,", 0), 0u);
  mem.Put(Month("2026-03"), march[0] + "\r\n" + march[1] + "\r\n");
  EXPECT_EQ(ledger::VerifyJson(fs, dir).rfind("{\"whole\":true,\"records\":5,", 0), 0u);
  EXPECT_NE(ledger::VerifyJson(fs, dir, head).find("RECORD ANNOTATO NON TROVATO"), std::string::npos);
}

TEST_F(Ledger, VerifyNamesWhereTheChainBreaks) {
  clock = VirtualClock({2026, 2, 28, 23, 59, 0});
  for (int i = 1; i <= 10; ++i) {
    ledger->Settled(Sale(std::to_string(i)));
    clock.Sleep(12000);  // records 1-5 in February, 6-10 in March
  }
  std::vector<std::string> feb, mar;
  ASSERT_EQ(Records("2026-02", &feb).size(), 5u);
  ASSERT_EQ(Records("2026-03", &mar).size(), 5u);
  const auto join = [](const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
  };
  const auto changeByte = [](std::string& line) { line[line.find("\"byte\":") + 7] ^= 1; };
  struct Case {
    const char* what;
    std::function<void(std::vector<std::string>&, std::vector<std::string>&)> damage;
    const char* named;  // the record where the break is found
  };
  const std::vector<Case> cases = {
      {"byte changed in February", [&](auto& f, auto&) { changeByte(f[2]); }, "2026-02 riga 4 (record n. 4)"},
      {"byte changed across the boundary", [&](auto& f, auto&) { changeByte(f[4]); }, "2026-03 riga 1 (record n. 6)"},
      {"line removed in March", [](auto&, auto& m) { m.erase(m.begin() + 2); }, "2026-03 riga 3 (record n. 9)"},
      {"first line of March removed", [](auto&, auto& m) { m.erase(m.begin()); }, "2026-03 riga 1 (record n. 7)"},
      {"two lines swapped in March", [](auto&, auto& m) { std::swap(m[1], m[2]); }, "2026-03 riga 2 (record n. 8)"},
      {"swapped across the boundary", [](auto& f, auto& m) { std::swap(f[4], m[0]); }, "2026-02 riga 5 (record n. 6)"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> f = feb, m = mar;
    c.damage(f, m);
    mem.Put(Month("2026-02"), join(f));
    mem.Put(Month("2026-03"), join(m));
    ledger::ChainVerifier v = Verify({"2026-02", "2026-03"});
    EXPECT_FALSE(v.Whole()) << c.what;
    EXPECT_NE(v.Report().find("CATENA INTERROTTA: " + std::string(c.named)), std::string::npos)
        << c.what << ": " << v.Report();
  }
  mem.Put(Month("2026-02"), join(feb));
  mem.Put(Month("2026-03"), join(mar));
  ledger::ChainVerifier whole = Verify({"2026-02", "2026-03"});
  EXPECT_TRUE(whole.Whole());
  EXPECT_EQ(whole.Records(), 10u);
  EXPECT_EQ(whole.Report().rfind("Registro integro: 10 record", 0), 0u) << whole.Report();
  EXPECT_FALSE(Verify({"2026-03"}).Whole()) << "February missing";
}

TEST(LedgerReports, CsvFieldsAreInertAmountsHaveADecimalComma) {
  Record r;
  r.n = 3;
  r.input = "=HYPERLINK(\"x\")";
  r.folder = "+39";
  r.reason = "-1";
  r.answer = "@SUM";
  r.total = "-3,50";
  r.receipt = "12";
  const std::string row = ledger::CsvRow(r);
  EXPECT_NE(row.find(";\"'=HYPERLINK(\"\"x\"\")\";\"'+39\";"), std::string::npos) << row;
  EXPECT_NE(row.find("\"'-1\""), std::string::npos) << row;
  EXPECT_NE(row.find("\"'@SUM\""), std::string::npos) << row;
  EXPECT_NE(row.find(";\"12\";-3,50;"), std::string::npos) << row;
  r.total = "N/D";
  EXPECT_NE(ledger::CsvRow(r).find(";\"N/D\";"), std::string::npos);
}

// Every place of a long text, both cases, pieces with and without ASCII.
TEST(LedgerReports, TheQuickSearchFindsAPieceAnywhereInAnyCase) {
  const std::string filler(70, '=');
  struct Case {
    std::string piece, written;
  };
  const std::vector<Case> cases = {{"scontrino", "SCONTRINO"}, {"Caff\xC3\xA8 x", "CAFF\xC3\x88 X"},
                                   {"\xC3\xA8\xC3\xA0", "\xC3\x88\xC3\x80"}, {"z", "Z"}};
  for (const Case& c : cases) {
    const ledger::NoCaseFinder finder(c.piece);
    for (std::size_t at = 0; at + c.written.size() <= filler.size(); ++at) {
      std::string text = filler;
      text.replace(at, c.written.size(), c.written);
      EXPECT_TRUE(finder.In(text)) << c.piece << " at " << at;
      text[at + c.written.size() - 1] = '=';
      EXPECT_FALSE(finder.In(text)) << c.piece << " cut at " << at;
    }
  }
  EXPECT_TRUE(ledger::NoCaseFinder("").In("x"));
  EXPECT_FALSE(ledger::NoCaseFinder("xy").In("x"));
}

TEST(LedgerReports, QueriesAndTheirQuickTestAgree) {
  Record r;
  r.n = 1;
  r.previous = ledger::kNoPrevious;
  r.input = ledger::Cp1252ToUtf8("CAFF\xC8.001");
  r.settled = "2026-03-05 10:00:00";
  r.outcome = "stampato";
  r.answer = "SCONTRINO=7\r\nTOTALE=3,00\r\nNOTA=Caff\xC3\xA8 \"lungo\" \xE2\x82\xAC\r\n";
  Record old = r;  // a UTF-8 name recorded as if it were Windows-1252
  old.input = ledger::Cp1252ToUtf8("CAFF\xC3\x88-utf8.001");
  const std::string line = ledger::ToLine(r), oldLine = ledger::ToLine(old);
  const auto q = [](std::string name, std::string from, std::string to, std::string outcome, std::string text) {
    ledger::Query q;
    q.name = std::move(name), q.from = std::move(from), q.to = std::move(to);
    q.outcome = std::move(outcome), q.text = std::move(text);
    return q;
  };
  struct Case {
    ledger::Query q;
    bool match, oldMatch;
  };
  const std::vector<Case> cases = {
      {q(ledger::Cp1252ToUtf8("caff\xe8.001"), "", "", "", ""), true, false},
      {q("CAFF\xC3\x88-utf8.001", "", "", "", ""), false, true},
      {q("caff\xC3\xA8-UTF8.*", "", "", "", ""), false, true},
      {q(ledger::Cp1252ToUtf8("CAFF\xC3\x88-utf8.001"), "", "", "", ""), false, true},
      {q("CAFF*", "", "", "", ""), true, true},
      {q("*.0?1", "", "", "", ""), true, true},
      {q("S.001", "", "", "", ""), false, false},
      {q("CAFF\xC3\x88.002", "", "", "", ""), false, false},
      {q("", "2026-03-05 10:00:00", "2026-03-05 10:00:00", "", ""), true, true},
      {q("", "2026-03-05 10:00:01", "", "", ""), false, false},
      {q("", "", "2026-03-05 09:59:59", "", ""), false, false},
      {q("", "", "", "rifiutato", ""), false, false},
      {q("", "", "", "", "totale=3,00"), true, true},
      {q("", "", "", "", "TOTALE=3,00\r\nX"), false, false},
      {q("", "", "", "", "CAFF\xC3\x88 \"LUNGO\""), true, true},
      {q("", "", "", "", "\xE2\x82\xAC"), true, true},
      {q("", "", "", "", "\xC3\x88"), true, true},
      {q("", "", "", "", "\xC3\x89"), false, false},
      {q("", "", "", "", "lungo\" \xE2\x82\xAC\r\nX"), false, false},
  };
  for (const Case& c : cases) {
    const std::string what = c.q.name + "|" + c.q.from + "|" + c.q.to + "|" + c.q.text;
    EXPECT_EQ(c.q.Matches(r), c.match) << what;
    EXPECT_EQ(c.q.Matches(old), c.oldMatch) << what;
    // The quick test never dismisses a match, and dismisses these misses.
    EXPECT_EQ(ledger::LineFilter(c.q).MayMatch(line), c.match) << what;
    EXPECT_EQ(ledger::LineFilter(c.q).MayMatch(oldLine), c.oldMatch) << what;
  }
  EXPECT_EQ(ledger::NormaliseStamp("05/03/2026", true), "2026-03-05 23:59:59");
  EXPECT_EQ(ledger::NormaliseStamp("2026-03-05 10:30", false), "2026-03-05 10:30:00");
  EXPECT_EQ(ledger::NormaliseStamp("2026-13-05", false), "");
}

TEST_F(Ledger, TheDaySummaryListsUnknownOutcomesFirstAndSumsTheTotals) {
  ledger->Settled(Sale("1"));
  ledger->Settled(Sale("2"));
  ledger->Settled(Sale("3", Outcome::kUnknown, "DUBBIO.001"));
  ledger->Settled(Sale("4", Outcome::kRefused));
  std::string path;
  ASSERT_TRUE(ledger::WriteDaySummary(fs, dir, "2026-03-05", path));
  EXPECT_EQ(path, JoinPath(dir, ledger::kSummaryFileName));
  const std::string text = mem.Content(path);
  EXPECT_NE(text.find("ESITI SCONOSCIUTI DA CONTROLLARE: 1\r\n  n. 3  preso 09:00:00  chiuso 09:00:00  DUBBIO.001"),
            std::string::npos)
      << text;
  EXPECT_LT(text.find("copia conservata: " + JoinPath(dir, "DORVREG-3-INPUT.txt")), text.find("LAVORI: 4")) << text;
  EXPECT_NE(text.find("TOTALE DEGLI SCONTRINI STAMPATI: 25,00 (2 con TOTALE, 0 senza)"), std::string::npos) << text;
  EXPECT_NE(text.find("\xE8 stato stampato"), std::string::npos) << "Windows-1252";
  ASSERT_TRUE(ledger::WriteDaySummary(fs, dir, "2026-03-06", path));
  EXPECT_NE(mem.Content(path).find("Nessun lavoro registrato"), std::string::npos);
}

class LedgerMenu : public OnFakes {};

TEST_F(LedgerMenu, TodaysSummaryIsWrittenAndOpenedOrTheFailureShown) {
  d().Form_Load();
  const std::string summary = JoinPath(st().CurrentDorvaneDataDir, ledger::kSummaryFileName);
  d().m_registro_Click();
  EXPECT_NE(h.mem.Content(summary).find("RIEPILOGO DEL 2026-03-05"), std::string::npos);
  h.processes.shellOpenWorks = false;
  d().m_registro_Click();
  h.fs.FailPath(summary, 1);
  d().m_registro_Click();
  EXPECT_EQ(h.processes.opened, (std::vector<std::string>{summary + "||1", summary + "||1"}));
  ASSERT_EQ(h.ui.messages.size(), 2u);
  EXPECT_NE(h.ui.messages[0].find("Riepilogo: " + summary), std::string::npos);
  EXPECT_EQ(h.ui.messages[1].rfind("Riepilogo del registro non scritto: " + summary, 0), 0u);
}

}  // namespace
}  // namespace dorvane::test
