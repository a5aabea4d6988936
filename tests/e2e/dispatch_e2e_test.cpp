// The real dorvane (console front end) with the real kkora1: receipts
// dropped into the input folder come out printed once each, in order, and
// filed; errors, paper-outs and a late driver on the way.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>

#include "support/process.h"

namespace dorvane::test {
namespace {

#ifdef KKORA1_EXE

std::string Field(const std::string& text, const std::string& name) {
  const std::size_t at = text.find(name + "=");
  if (at == std::string::npos) return "";
  const std::size_t from = at + name.size() + 1;
  return text.substr(from, text.find_first_of("\r\n", from) - from);
}

// A sale of n cents; its total ("1,05") tells the receipt apart.
std::string Receipt(int cents) {
  return "PLUD,C1,N1,P" + std::to_string(cents) + ",:ARTICOLO;\r\nCASH,V" + std::to_string(cents) + ",:CONTANTI;\r\n";
}
std::string Total(int cents) {
  return std::to_string(cents / 100) + "," + (cents % 100 < 10 ? "0" : "") + std::to_string(cents % 100);
}

// Receipts created in the same second go in listing order, so the tests
// spread theirs over seconds where the order matters.
void NextSecond() { ::usleep(1100 * 1000); }

class Shop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"in", "out", "err"}) inst.tree.MakeDir(dir);
  }
  // A 50 ms cycle on the shop's folders; blocked by an error until a reset.
  // Both programs are killed at the end if still running.
  void Start(const std::vector<std::string>& kora1Options, bool exitWhenDone) {
    inst.Configure("0.05", T().Path("in"), T().Path("out"), T().Path("err"));
    std::vector<std::string> argv{KKORA1_EXE, "0", "--dump-ms", "100", "--poll-ms", "10"};
    argv.insert(argv.end(), kora1Options.begin(), kora1Options.end());
    kora1 = std::make_unique<Child>(argv, inst.Env(), T().Path("kkora1.txt"));
    ASSERT_TRUE(WaitFor(10000, [&] { return T().Exists("data/ZTKKORA1/SR_MATR.001"); }));
    argv = {DORVANE_EXE, "--headless", "/NONID"};
    if (exitWhenDone) argv.push_back("--exit-when-done");
    dorvane = std::make_unique<Child>(argv, inst.Env(), T().Path("dorvane.txt"));
  }
  const TempDir& T() const { return inst.tree; }
  void Drop(const std::string& name, int cents) { T().Write("in/" + name, Receipt(cents)); }
  bool Filed(const std::string& path) { return WaitFor(30000, [&] { return T().Exists(path); }); }

  Installation inst;
  std::unique_ptr<Child> kora1, dorvane;
};

// KORA1 takes each job late, several ticks after its start signal: each
// receipt must still be filed with its own result, never the one before.
TEST_F(Shop, ReceiptsArePrintedOnceEachInCreationOrderWithTheirOwnResults) {
  std::map<std::string, int> secondOf;
  for (int second = 0; second < 3; ++second) {
    if (second > 0) NextSecond();
    for (int i = 0; i < 4; ++i) {
      const int n = second * 4 + i;
      const std::string name = "R" + std::to_string(99 - n) + ".001";  // name order is not creation order
      Drop(name, 100 + n);
      secondOf[name] = second;
    }
  }
  Start({"--take-delay-ms", "200"}, true);
  EXPECT_EQ(dorvane->Wait(60000), 0);
  std::map<int, std::string> byJob;
  for (const auto& [name, second] : secondOf) {
    const std::string result = T().Read("out/" + name + ".OUT");
    EXPECT_FALSE(T().Exists("in/" + name) || result.empty()) << name;
    EXPECT_EQ(Field(result, "TOTALE"), Total(100 + 99 - std::stoi(name.substr(1, 2)))) << name << " has another's result";
    byJob[std::atoi(Field(result, "LAVORO").c_str())] = name;
  }
  ASSERT_EQ(byJob.size(), secondOf.size()) << "a receipt printed twice";
  for (auto job = byJob.begin(); std::next(job) != byJob.end(); ++job)
    EXPECT_LE(secondOf[job->second], secondOf[std::next(job)->second]) << job->second << " printed after a newer receipt";
  EXPECT_NE(T().Read("dorvane.txt").find("Chiusura di ZTK DORVANE"), std::string::npos);
}

TEST_F(Shop, AJobErrorBlocksTheCycleUntilTheRetryMarkerAndAPaperOutUntilPaperIsLoaded) {
  for (const char* name : {"A.001", "B.001", "C.001", "D.001"}) {
    Drop(name, 101 + name[0] - 'A');
    NextSecond();
  }
  StatusPoller status(T().Path("data/ZTKKORA1/DORVSTAT.json"));
  Start({"--fail-receipts", "2", "--paper-out-after", "2", "--paper-clear", "empty"}, false);
  // Read once written whole: the report appears before its line is in it.
  ASSERT_TRUE(WaitFor(30000, [&] { return T().Read("err/B.001_ERR.ERR").rfind("E050", 0) == 0; }));
  EXPECT_TRUE(T().Read("err/B.001.ERR") == Receipt(102) && T().Exists("out/A.001.OUT"));
  ::usleep(1500 * 1000);  // blocked: thirty ticks and C waits
  EXPECT_TRUE(T().Exists("in/C.001") && !T().Exists("in/B.001"));
  T().Write("in/DORVRETRY.DVN", "");
  ASSERT_TRUE(Filed("out/C.001.OUT"));
  EXPECT_TRUE(WaitFor(5000, [&] { return !T().Exists("in/DORVRETRY.DVN") && !T().Exists("in/C.001"); }));
  // The roll ends halfway through D: held, with its copy of the report.
  ASSERT_TRUE(Filed("err/D.001_ERR.ERR"));
  ::usleep(1000 * 1000);
  EXPECT_TRUE(T().Exists("in/D.001") && !T().Exists("out/D.001.OUT"));
  T().Write("data/ZTKKORA1/KKORA1.tmp", "paper=load\r\n");
  ASSERT_EQ(::rename(T().Path("data/ZTKKORA1/KKORA1.tmp").c_str(), T().Path("data/ZTKKORA1/KKORA1.CTL").c_str()), 0);
  ASSERT_TRUE(Filed("out/D.001.OUT"));
  EXPECT_EQ(Field(T().Read("out/D.001.OUT"), "TOTALE"), Total(104));
  EXPECT_TRUE(WaitFor(5000, [&] { return !T().Exists("in/D.001"); }));
  EXPECT_FALSE(T().Exists("err/D.001_ERR.ERR"));  // the cleared report took the copy with it
  // A program polling the status file saw the paper-out, and never half a file.
  status.Stop();
  EXPECT_TRUE(status.words.count("carta esaurita")) << status.reads << " reads";
  EXPECT_EQ(status.partial, 0);
  // Ctrl+C at the console closes normally; the log carries today's date.
  dorvane->Signal(SIGINT);
  EXPECT_EQ(dorvane->Wait(15000), 0);
  char today[16];
  const std::time_t now = std::time(nullptr);
  std::strftime(today, sizeof today, "|%Y-%m-%d ", std::localtime(&now));
  EXPECT_EQ(Count(inst.Log(), "OK:  |CHIUSURA ZTK DORVANE|"), 1) << inst.Log();
  EXPECT_NE(inst.Log().find(today), std::string::npos) << inst.Log();
}

// Names the output and error folders cannot hold (255 bytes: no room for
// ".OUT" or ".ERR"), one printed and one refused: each goes once to KORA1, is
// filed under its job's short name with the reason logged, and the next
// receipt goes on.
TEST_F(Shop, NamesTheFoldersCannotHoldAreFiledUnderShortNamesAndTheNextGoesOn) {
  const std::string printed = std::string(251, 'P') + ".001", refused = std::string(251, 'R') + ".001";
  int cents = 101;
  for (const std::string& name : {printed, std::string("NEXT.001"), refused, std::string("LAST.001")}) {
    Drop(name, cents++);
    NextSecond();
  }
  Start({"--fail-receipts", "3"}, false);
  ASSERT_TRUE(Filed("out/NEXT.001.OUT")) << inst.Log();
  // The refusal blocks the cycle as any refusal does, until the marker.
  ASSERT_TRUE(WaitFor(30000, [&] { return !T().Exists("in/" + refused); })) << inst.Log();
  T().Write("in/DORVRETRY.DVN", "");
  ASSERT_TRUE(Filed("out/LAST.001.OUT"));
  EXPECT_EQ(Field(T().Read("out/LAST.001.OUT"), "LAVORO"), "4") << "a receipt sent twice";
  std::map<std::string, std::string> shortNames;  // name without "DORV-<id>" -> content
  for (const char* dir : {"out", "err"})
    for (const auto& entry : std::filesystem::directory_iterator(T().Path(dir))) {
      const std::string name = entry.path().filename().string();
      const std::string path = std::string(dir) + "/" + name;
      if (name.rfind("DORV-", 0) == 0) shortNames[dir + name.substr(name.find_first_of("._"))] = T().Read(path);
    }
  EXPECT_EQ(Field(shortNames["out.OUT"], "TOTALE"), Total(101));
  EXPECT_EQ(shortNames["err.ERR"], Receipt(103));
  EXPECT_EQ(shortNames["err_ERR.ERR"].rfind("E050", 0), 0u);
  EXPECT_FALSE(T().Exists("in/" + printed));
  EXPECT_EQ(Count(inst.Log(), "ARCHIVIATO CON UN ALTRO NOME: "), 2) << inst.Log();
  EXPECT_EQ(Count(inst.Log(), "Nome o numero di file non valido 52)"), 2) << inst.Log();
}

// Receipts dropped while the watch of the input folder misses changes: the
// kernel's queue overflowing during a job, the folder removed and made
// again, a file system mounted over it. Each is printed once, in order.
enum class WatchLoss { kOverflow, kFolderMadeAgain, kMountedOver };
constexpr const char* kWatchLossNames[] = {"QueueOverflow", "FolderMadeAgain", "MountedOver"};

class LostWatch : public Shop, public ::testing::WithParamInterface<WatchLoss> {
 protected:
  // The inotify queue of the dorvane started now holds `events` at most.
  bool StartWithQueue(int events) {
    const char* knob = "/proc/sys/fs/inotify/max_queued_events";
    auto set = [&](const std::string& value) { return static_cast<bool>(std::ofstream(knob) << value << std::flush); };
    std::string old;
    if (!(std::ifstream(knob) >> old) || !set(std::to_string(events))) return false;
    Start({"--take-delay-ms", "100"}, false);
    // Taken at the watcher's start: wait for the program's first line.
    WaitFor(10000, [&] { return !T().Read("dorvane.txt").empty(); });
    set(old);
    return true;
  }
  void DropSecond(const std::vector<std::string>& names, int& cents) {
    for (const std::string& name : names) {
      Drop(name, cents++);
      struct stat st {};
      ::stat(T().Path("in/" + name).c_str(), &st);
      secondOf[name] = st.st_mtime;
    }
  }
  std::map<std::string, std::time_t> secondOf;
};

TEST_P(LostWatch, ReceiptsDroppedMeanwhileArePrintedOnceInOrder) {
  const std::string in = T().Path("in");
  int cents = 100;
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("W" + std::to_string(100 + i) + ".001");
  switch (GetParam()) {
    case WatchLoss::kOverflow:
      if (!StartWithQueue(8)) GTEST_SKIP() << "the inotify queue cannot be made smaller here";
      ::usleep(300 * 1000);
      DropSecond({"FIRST.001"}, cents);
      ASSERT_TRUE(WaitFor(10000, [&] { return T().Exists("data/ZTKKORA1/SR_START.001") || !T().Exists("in/FIRST.001"); }));
      DropSecond(names, cents);  // five times the queue, while a job runs
      break;
    case WatchLoss::kFolderMadeAgain:
    case WatchLoss::kMountedOver:
      Start({}, false);
      DropSecond({"FIRST.001"}, cents);
      ASSERT_TRUE(Filed("out/FIRST.001.OUT"));
      if (GetParam() == WatchLoss::kFolderMadeAgain) {
        ASSERT_TRUE(WaitFor(5000, [&] { return ::rmdir(in.c_str()) == 0; }));
        ASSERT_EQ(::mkdir(in.c_str(), 0755), 0);
      } else if (std::system(("mount -t tmpfs -o size=1m tmpfs '" + in + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
      }
      names.resize(10);
      NextSecond();
      DropSecond(names, cents);
      break;
  }
  for (const std::string& name : names) ASSERT_TRUE(Filed("out/" + name + ".OUT")) << name;
  if (GetParam() == WatchLoss::kMountedOver) std::system(("umount '" + in + "'").c_str());
  std::map<int, std::string> byJob;
  for (const auto& [name, second] : secondOf) {
    const std::string result = T().Read("out/" + name + ".OUT");
    byJob[std::atoi(Field(result, "LAVORO").c_str())] = name;
  }
  ASSERT_EQ(byJob.size(), secondOf.size()) << "a receipt printed twice";
  for (auto job = byJob.begin(); std::next(job) != byJob.end(); ++job)
    EXPECT_LE(secondOf[job->second], secondOf[std::next(job)->second]) << job->second << " printed after a newer receipt";
}

INSTANTIATE_TEST_SUITE_P(Each, LostWatch,
                         ::testing::Values(WatchLoss::kOverflow, WatchLoss::kFolderMadeAgain, WatchLoss::kMountedOver),
                         [](const auto& info) { return std::string(kWatchLossNames[static_cast<int>(info.param)]); });

#endif  // KKORA1_EXE

}  // namespace
}  // namespace dorvane::test
