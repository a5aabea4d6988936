// The notifications and the status file, fed the job engine's events on the
// virtual clock and the in-memory file system.
#include <gtest/gtest.h>

#include <algorithm>

#include "notify/status_file.h"
#include "settings/about.h"
#include "support/fakes.h"
#include "text/paths.h"

namespace dorvane::test {
namespace {

using N = FakeUi::Notice;
constexpr auto kI = NoticeIcon::kInfo, kW = NoticeIcon::kWarning, kE = NoticeIcon::kError;
const std::string kIn = "C:\\in\\ABC.001", kOut = "C:\\out", kNoPath = "Impossibile trovare il percorso 76";
const std::string kMissing = "KORA1 NON TROVATO O DUMP NON ESEGUITO", kPaper = "E096: FINE CARTA", kE021 = "E021: REPARTO INESISTENTE";

Job Settle(Outcome o, const std::string& text = "", const std::string& input = kIn) {
  Job s;
  return s.outcome = o, s.input = input, s.text = text, s;
}

// The table's rows as the cashier reads them.
const N kPaperOut{kW, "CARTA ESAURITA O COPERCHIO APERTO", "STAMPA FERMA SU ABC.001: E096: FINE CARTA. CAMBIARE IL ROTOLO O CHIUDERE IL COPERCHIO"};
const N kResumed{kI, "STAMPA RIPRESA", "KORA1 HA RIPRESO LA STAMPA DI ABC.001"};
const N kRefused{kE, "SCONTRINO RIFIUTATO DA KORA1", "ABC.001 NON STAMPATO: E021: REPARTO INESISTENTE"};
const N kUnknown{kE, "ESITO SCONOSCIUTO", "ABC.001: CONTROLLARE IL GIORNALE FISCALE DELLA STAMPANTE PRIMA DI STAMPARLO DI NUOVO"};
const N kNotHandedOver{kE, "SCONTRINO NON CONSEGNATO A KORA1", "ABC.001 NON STAMPATO: FILE DI INPUT NON DISPONIBILE: Disco pieno 61"};
const N kLost{kE, "KORA1 NON CONNESSO", "DA PIU' DI 10 SECONDI: GLI SCONTRINI RESTANO IN ATTESA (KORA1 NON TROVATO O DUMP NON ESEGUITO)"};
const N kBack{kI, "KORA1 CONNESSO", "LA STAMPA DEGLI SCONTRINI RIPRENDE"};
N FolderLost(const std::string& f) { return {kE, "CARTELLA NON RAGGIUNGIBILE", f + " NON RAGGIUNGIBILE DA PIU' DI 10 SECONDI: " + kNoPath}; }
N FolderBack(const std::string& f) { return {kI, "CARTELLA DI NUOVO RAGGIUNGIBILE", f}; }
const N kNotFiled{kW, "ARCHIVIAZIONE NON RIUSCITA", "ABC.001 NON ARCHIVIATO: Autorizzazione negata 70. DORVANE RIPROVA DA SOLO"};
const N kFiled{kI, "ARCHIVIAZIONE COMPLETATA", "ABC.001 ARCHIVIATO"};
const N kLink{kW, "COLLEGAMENTO SIMBOLICO NON LETTO", "LINK.001 NELLA CARTELLA DI INPUT: NON VIENE STAMPATO"};
const N kLedger{kW, "REGISTRO DEGLI SCONTRINI NON SCRIVIBILE", "IL REGISTRO DEGLI SCONTRINI NON SI AGGIORNA: Disco pieno 61"};
const N kLedgerBack{kI, "REGISTRO DEGLI SCONTRINI DI NUOVO SCRIVIBILE", "IL REGISTRO DEGLI SCONTRINI SI AGGIORNA DI NUOVO"};
const N kOtherName{kW, "ARCHIVIATO CON UN ALTRO NOME", "ABC.001 ARCHIVIATO COME C:\\out\\DORV-1.OUT: Nome o numero di file non valido 52"};
const N kJournal{kE, "REGISTRO DEI LAVORI NON SCRIVIBILE", "C:\\data: GLI SCONTRINI RESTANO IN ATTESA (Autorizzazione negata 70)"};
const N kJournalBack{kI, "REGISTRO DEI LAVORI DI NUOVO SCRIVIBILE", "C:\\data: LA STAMPA DEGLI SCONTRINI RIPRENDE"};

struct Shop { VirtualClock clock; FakeUi ui; Notifier n{clock, ui}; };
using Step = std::function<void(Shop&)>;
#define ON(call) [](Shop& s) { s.n.call; }
Step At(std::int64_t ms) { return [ms](Shop& s) { s.clock.AdvanceTo(ms), s.n.Poll(); }; }  // with the front end's poll
Step Told(std::size_t n) { return [n](Shop& s) { EXPECT_EQ(s.ui.notices.size(), n); }; }  // so many so far

TEST(Notifier, EachEpisodeIsToldOnceAtItsStartAndOnceAtItsEnd) {
  const struct { const char* what; std::vector<Step> events; std::vector<N> told; } cases[] = {
      {"paper out seen on every tick, released", {ON(PaperHeld(kIn, kPaper)), At(2000), ON(PaperHeld(kIn, kPaper)),
        ON(PaperReleased(kIn)), ON(PaperReleased(kIn)), ON(Settled(Settle(Outcome::kPrinted)))}, {kPaperOut, kResumed}},
      {"paper out ends printed", {ON(PaperHeld(kIn, kPaper)), ON(Settled(Settle(Outcome::kPrinted)))}, {kPaperOut, kResumed}},
      {"paper out ends refused", {ON(PaperHeld(kIn, kPaper)), ON(Settled(Settle(Outcome::kRefused, kE021)))}, {kPaperOut, kRefused}},
      {"refused: SR_ERR's first line", {ON(Taken({})), ON(Settled(Settle(Outcome::kRefused, kE021 + "\r\nriga 3")))}, {kRefused}},
      {"KORA1 killed in a job: the unknown outcome only",
       {ON(Kora1Lost("")), At(3000), ON(Settled(Settle(Outcome::kUnknown, "E599: ESITO SCONOSCIUTO"))), ON(Kora1Found())}, {kUnknown}},
      {"not handed over", {ON(Settled(Settle(Outcome::kInputFailed, "FILE DI INPUT NON DISPONIBILE: Disco pieno 61")))}, {kNotHandedOver}},
      {"not handed over, no reason", {ON(Settled(Settle(Outcome::kInputFailed)))}, {{kE, kNotHandedOver.title, "ABC.001 NON STAMPATO"}}},
      {"KORA1 back within 10 s", {ON(Kora1Lost(kMissing)), At(10000), ON(Kora1Found()), At(30000)}, {}},
      {"KORA1 missing over 10 s, told once, back", {ON(Kora1Lost("")), At(2000), ON(Kora1Lost(kMissing)), At(10000), Told(0),
        At(10001), Told(1), ON(Kora1Lost(kMissing)), At(40000), ON(Kora1Found()), ON(Kora1Found())}, {kLost, kBack}},
      {"KORA1 coming and going: 10 s from the last loss",
       {ON(Kora1Lost("")), At(5000), ON(Kora1Found()), At(6000), ON(Kora1Lost("")), At(16000), Told(0), At(16001)},
       {{kE, kLost.title, "DA PIU' DI 10 SECONDI: GLI SCONTRINI RESTANO IN ATTESA"}}},
      {"folders, each on its own clock", {ON(FolderUnreachable(kIn, kNoPath)), ON(FolderUnreachable(kIn, kNoPath)), At(3000),
        ON(FolderUnreachable(kOut, kNoPath)), At(10001), Told(1), At(13001), ON(FolderBack(kIn)), ON(FolderBack(kIn)), ON(FolderBack(kOut))},
       {FolderLost(kIn), FolderLost(kOut), FolderBack(kIn), FolderBack(kOut)}},
      {"a folder back within 10 s", {ON(FolderUnreachable(kOut, kNoPath)), At(9000), ON(FolderBack(kOut)), At(60000)}, {}},
      {"filing failed on every try, then filed", {ON(FilingFailed(kIn, "Autorizzazione negata 70")), At(2000),
        ON(FilingFailed(kIn, "Autorizzazione negata 70")), ON(FiledLater(kIn, {})), ON(FiledLater(kIn, {}))}, {kNotFiled, kFiled}},
      {"a link", {ON(LinkRefused("LINK.001"))}, {kLink}},
      {"the ledger", {ON(LedgerWritable(true)), ON(LedgerWritable(false, "Disco pieno 61")), ON(LedgerWritable(false, "Disco pieno 61")),
        ON(LedgerWritable(true)), ON(LedgerWritable(true))}, {kLedger, kLedgerBack}},
      {"filed under another name", {ON(FiledUnderOtherName(kIn, "C:\\out\\DORV-1.OUT", "Nome o numero di file non valido 52"))},
       {kOtherName}},
      {"the job journal", {ON(JournalUnwritable("C:\\data", "Autorizzazione negata 70")), ON(JournalWritable("C:\\data"))},
       {kJournal, kJournalBack}},
      {"nothing while closing, not even an end", {ON(PaperHeld(kIn, kPaper)), ON(Kora1Lost("")), ON(SetClosing()), ON(PaperReleased(kIn)),
        ON(Settled(Settle(Outcome::kRefused, kE021))), At(20000), ON(LedgerWritable(false, "x")), ON(Kora1Found())}, {kPaperOut}},
  };
  std::vector<N> every;
  for (const auto& c : cases) {
    Shop s;
    for (const Step& e : c.events) e(s);
    EXPECT_EQ(s.ui.notices, c.told) << c.what;
    every.insert(every.end(), c.told.begin(), c.told.end());
  }
  for (const NoticeRow& row : NoticeTable())  // every row, with its icon
    EXPECT_TRUE(std::any_of(every.begin(), every.end(), [&](const N& n) { return n.title == row.title && n.icon == row.icon; })) << row.title;
}

TEST(Notifier, TheCurrentEpisodeIsTheLatestToldThatHasNotEnded) {
  Shop s;
  const std::pair<Step, std::string> steps[] = {
      {ON(PaperHeld(kIn, kPaper)), kPaperOut.title}, {ON(Kora1Lost("")), kPaperOut.title}, {At(10001), kLost.title},
      {ON(Kora1Found()), kPaperOut.title}, {ON(PaperReleased(kIn)), "-"}, {ON(Settled(Settle(Outcome::kRefused, kE021))), kRefused.title},
      {ON(StateChanged(ExecState::kRunning, ExecState::kBlocked)), kRefused.title}, {ON(StateChanged(ExecState::kBlocked, ExecState::kReady)), "-"},
      {ON(LinkRefused("LINK.001")), kLink.title}, {ON(Taken({})), "-"}};
  for (const auto& [step, current] : steps) {
    step(s);
    EXPECT_EQ(s.n.Current() ? s.n.Current()->title : "-", current) << s.ui.notices.size();
  }
  EXPECT_EQ((s.n.PaperHeld(kIn, kPaper), s.n.Current()->since), "2026-03-05 09:00:10");
}

class StatusFileOnFakes : public ::testing::Test {
 protected:
  StatusFileOnFakes() { mem.AddDir(dir), mem.onChange = [this](const std::string& p) { renames += p == JoinPath(dir, StatusFile::kStatusFileName); }; }
  std::string Read() { return mem.Content(JoinPath(dir, StatusFile::kStatusFileName)); }
  bool Says(const std::string& part) { return Read().find(part) != std::string::npos; }
  void RunTo(std::int64_t ms) { while (clock.MonotonicMs() < ms) clock.AdvanceTo(clock.MonotonicMs() + 25), file.Poll(); }  // the pump
  std::string dir = "D", folder = dir;
  int renames = 0;  // the file is only ever renamed in (the real files' test shows it)
  VirtualClock clock;
  MemFileSystem mem{&clock};
  FaultyFileSystem fs{mem};
  FakeUi ui;
  FakeSystemInfo system;
  Notifier notices{clock, ui};
  StatusFile file{fs, clock, system, [this] { return folder; }, &notices};
};

TEST_F(StatusFileOnFakes, TheWholeFileAsAReaderFindsIt) {
  file.Poll();
  EXPECT_EQ(Read(), "{\r\n  \"formato\": 1,\r\n  \"programma\": \"ZTK DORVANE\",\r\n  \"versione\": \"" + ProgramAboutTexts().Version.substr(9) +
                        "\",\r\n  \"pid\": 4242,\r\n  \"scritto\": \"2026-03-05 09:00:00\",\r\n  \"kora1_connesso\": false,\r\n"
                        "  \"stato\": 0,\r\n  \"stato_parola\": \"pronto\",\r\n  \"in_stampa\": null,\r\n  \"in_attesa\": null,\r\n"
                        "  \"ultimo_esito\": null,\r\n  \"registro_lavori_non_scrivibile\": null,\r\n  \"episodio\": null,\r\n  \"oggi\": {\"data\": \"2026-03-05\", \"stampati\": 0, "
                        "\"rifiutati\": 0, \"sconosciuti\": 0, \"non_consegnati\": 0}\r\n}\r\n");
  Job job;
  job.input = "C:\\in\\CAFF\xC8 \"1\"\x80.001";  // Windows-1252 comes out as UTF-8, with escapes
  const std::string json = "C:\\\\in\\\\CAFF\xC3\x88 \\\"1\\\"\xE2\x82\xAC.001";
  for (JobEvents* o : std::initializer_list<JobEvents*>{&file, &notices})
    o->Kora1Found(), o->Waiting(3), o->Taken(job), o->StateChanged(ExecState::kRunning, ExecState::kPaperOut), o->PaperHeld(job.input, kPaper);
  RunTo(1000);
  for (const std::string& part : std::vector<std::string>{"\"kora1_connesso\": true,", "\"stato\": 3,", "\"stato_parola\": \"carta esaurita\",", "\"in_attesa\": 3,",
                                  "\"in_stampa\": \"" + json + "\",", "\"episodio\": {\"icona\": \"avviso\", \"titolo\": \"" + kPaperOut.title +
                                  "\", \"testo\": \"STAMPA FERMA SU CAFF\xC3\x88 \\\"1\\\"\xE2\x82\xAC.001: E096: FINE CARTA. CAMBIARE IL "
                                  "ROTOLO O CHIUDERE IL COPERCHIO\", \"dal\": \"2026-03-05 09:00:00\"},"})
    EXPECT_TRUE(Says(part)) << part << "\n" << Read();
  for (Outcome o : {Outcome::kPrinted, Outcome::kPrinted, Outcome::kRefused, Outcome::kUnknown, Outcome::kInputFailed})
    file.Settled(Settle(o, "E599: ESITO SCONOSCIUTO\r\nresto", job.input));
  file.StateChanged(ExecState::kPaperOut, ExecState::kReady);
  RunTo(2000);
  EXPECT_TRUE(Says("\"in_stampa\": null,")) << Read();
  EXPECT_TRUE(Says("\"ultimo_esito\": {\"esito\": \"non consegnato\", \"file\": \"" + json +
                   "\", \"ora\": \"2026-03-05 09:00:01\", \"testo\": \"E599: ESITO SCONOSCIUTO\"},"));
  EXPECT_TRUE(Says("\"stampati\": 2, \"rifiutati\": 1, \"sconosciuti\": 1, \"non_consegnati\": 1}"));
  // A name in UTF-8 is kept where the system's names are UTF-8.
  job.input = "C:\\in\\CAFF\xC3\x88.001";
  file.Taken(job);
  RunTo(3000);
  EXPECT_TRUE(Says(kPathSep == '\\' ? "\"in_stampa\": \"C:\\\\in\\\\CAFF\xC3\x83\xCB\x86.001\","
                                     : "\"in_stampa\": \"C:\\\\in\\\\CAFF\xC3\x88.001\",")) << Read();
  // The status file's names are never a receipt's.
  for (const char* name : {"DORVSTAT.json", "dorvstat.JSON", "DORVSTAT.json.tmp"}) EXPECT_TRUE(IsStatusFile(name)) << name;
  for (const char* name : {"DORVSTAT.json.001", "XDORVSTAT.json", "DORVSTAT"}) EXPECT_FALSE(IsStatusFile(name)) << name;
}

TEST_F(StatusFileOnFakes, WrittenWhenItChangesAtMostFourTimesASecondAndAtLeastOnceAMinute) {
  RunTo(10000);
  EXPECT_EQ(renames, 1) << "nothing changed";
  for (int i = 0; i < 40; ++i) file.Waiting(i), RunTo(clock.MonotonicMs() + 25);  // a change on every pump for a second
  EXPECT_EQ(renames, 5);
  RunTo(clock.MonotonicMs() + 250);
  EXPECT_TRUE(Says("\"in_attesa\": 39,")) << "the last change is written";
  RunTo(71100);
  EXPECT_EQ(renames, 7) << "a minute after the last write";
  EXPECT_TRUE(Says("\"scritto\": \"2026-03-05 09:01:11\""));
  // A refused rename (a reader holding the file, on Windows) is tried again a quarter of a second later.
  fs.FailPath(JoinPath(dir, StatusFile::kStatusFileName), 3), file.Waiting(1), RunTo(71800);
  EXPECT_FALSE(Says("\"in_attesa\": 1,"));
  RunTo(72100);
  EXPECT_TRUE(Says("\"in_attesa\": 1,"));
  // No folder, nothing written; a new folder is written at once.
  folder = "", file.Waiting(2), RunTo(200000);
  EXPECT_EQ(renames, 8);
  mem.AddDir(folder = "E"), RunTo(200100);
  EXPECT_NE(mem.Content(JoinPath("E", StatusFile::kStatusFileName)).find("\"in_attesa\": 2,"), std::string::npos);
}

TEST_F(StatusFileOnFakes, TodaysCountsGoOnFromTheLastRunOfTheDayAndStartAgainAtMidnight) {
  const std::string today = "\"oggi\": {\"data\": \"2026-03-05\", \"stampati\": 9, \"rifiutati\": 1, \"sconosciuti\": 0, \"non_consegnati\": 2}";
  const std::pair<std::string, std::string> runs[] = {
      {"{\r\n  " + today + "\r\n}\r\n", "\"stampati\": 10, \"rifiutati\": 1, \"sconosciuti\": 0, \"non_consegnati\": 2"},
      {"{\"oggi\": {\"data\": \"2026-03-04\", \"stampati\": 5", "\"stampati\": 1, \"rifiutati\": 0"},  // yesterday's
      {std::string(today).replace(today.find("1, \"sco"), 1, "-"), "\"stampati\": 1, \"rifiutati\": 0"}};  // garbled: not read
  for (const auto& [left, counts] : runs) {
    mem.Put(JoinPath(dir, StatusFile::kStatusFileName), left);
    StatusFile next(fs, clock, system, [this] { return dir; });
    next.Settled(Settle(Outcome::kPrinted)), next.Poll();
    EXPECT_TRUE(Says(counts)) << left << "\n" << Read();
  }
  file.Settled(Settle(Outcome::kRefused)), RunTo(1000);
  EXPECT_TRUE(Says("\"stampati\": 1, \"rifiutati\": 1,")) << Read();
  clock.AdvanceTo(15 * 3600 * 1000), file.Poll();  // midnight
  EXPECT_TRUE(Says("\"oggi\": {\"data\": \"2026-03-06\", \"stampati\": 0, \"rifiutati\": 0,"));
}

}  // namespace
}  // namespace dorvane::test
