// The real dorvane (console front end) with the real kkora1: receipts
// dropped into the input folder come out printed once each, in order, and
// filed; errors, paper-outs and a slow driver on the way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>

#include "e2e/process_helpers.h"

namespace dorvane::e2e {
namespace {

#ifdef KKORA1_EXE

std::string Field(const std::string& text, const std::string& name) {
  const std::size_t at = text.find(name + "=");
  if (at == std::string::npos) return "";
  const std::size_t from = at + name.size() + 1;
  return text.substr(from, text.find_first_of("\r\n", from) - from);
}

// A sale of n cents of department 1; its total tells the receipt apart.
std::string Receipt(int cents) {
  return "PLUD,C1,N1,P" + std::to_string(cents) + ",:ARTICOLO;\r\nCASH,V" + std::to_string(cents) +
         ",:CONTANTI;\r\n";
}
std::string Total(int cents) {
  std::string euros = std::to_string(cents / 100) + "," + (cents % 100 < 10 ? "0" : "") + std::to_string(cents % 100);
  return euros;
}

class Shop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"app", "data/ZTKKORA1", "config", "run", "in", "out", "err"}) tree.MakeDir(dir);
  }
  void TearDown() override {
    if (dorvane && dorvane->Running()) dorvane->Signal(SIGTERM), dorvane->Wait(15000);
    if (kora1 && kora1->Running()) kora1->Signal(SIGTERM), kora1->Wait(5000);
  }
  std::vector<std::string> Env() const {
    return {"DORVANE_HOME=" + tree.Path("app"), "XDG_DATA_HOME=" + tree.Path("data"),
            "XDG_CONFIG_HOME=" + tree.Path("config"), "XDG_RUNTIME_DIR=" + tree.Path("run")};
  }
  // Port 1, "*.001", the shop's folders, log on, a 50 ms cycle.
  void Configure(bool autoReset) {
    const std::vector<std::string> lines{
        "1", "*.001", "  ", tree.Path("in"), tree.Path("out"), tree.Path("err"), ".OUT", " 0 ", " 1 ", ".ERR",
        "0.05", "0", " 0 ", " ", "  ", autoReset ? " 1 " : " 0 ", " 0 ", " 0 "};
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    tree.Write("app/DORVCONF.txt", text);
  }
  void StartKora1(std::vector<std::string> options) {
    std::vector<std::string> argv{KKORA1_EXE, "0", "--dump-ms", "100", "--poll-ms", "10"};
    argv.insert(argv.end(), options.begin(), options.end());
    kora1 = std::make_unique<Child>(argv, Env(), tree.Path("kkora1.txt"));
    ASSERT_TRUE(WaitFor(10000, [&] { return tree.Exists("data/ZTKKORA1/SR_MATR.001"); }));
  }
  void StartDorvane(bool exitWhenDone) {
    std::vector<std::string> argv{DORVANE_EXE, "--headless", "/NONID"};
    if (exitWhenDone) argv.push_back("--exit-when-done");
    dorvane = std::make_unique<Child>(argv, Env(), tree.Path("dorvane.txt"));
  }
  // Receipts created in the same second print in listing order; these are
  // spread over several seconds so creation order can be checked.
  void Drop(const std::string& name, int cents) { tree.Write("in/" + name, Receipt(cents)); }
  std::string Journal() const { return tree.Read("data/ZTKKORA1/KKORA1_GIORNALE.TXT"); }
  std::string Log() const { return tree.Read("data/ZTKKORA1/DORVLOG.txt"); }

  TempTree tree;
  std::unique_ptr<Child> kora1, dorvane;
};

TEST_F(Shop, AHundredReceiptsArePrintedOnceEachInCreationOrder) {
  Configure(false);
  StartKora1({});
  std::map<std::string, int> batchOf;
  for (int batch = 0; batch < 4; ++batch) {
    if (batch > 0) ::usleep(1100 * 1000);
    for (int i = 0; i < 25; ++i) {
      const int n = batch * 25 + i;
      // Names run backwards, so name order is not creation order.
      char name[16];
      std::snprintf(name, sizeof name, "R%03d.001", 999 - n);
      Drop(name, 100 + n);
      batchOf[name] = batch;
    }
  }
  StartDorvane(true);
  EXPECT_EQ(dorvane->Wait(120000), 0);
  std::map<int, std::string> byJob;
  for (const auto& [name, batch] : batchOf) {
    EXPECT_FALSE(tree.Exists("in/" + name)) << name;
    const std::string result = tree.Read("out/" + name + ".OUT");
    ASSERT_FALSE(result.empty()) << name;
    const int n = 999 - std::stoi(name.substr(1, 3));
    EXPECT_EQ(Field(result, "TOTALE"), Total(100 + n)) << name << " filed with another receipt's result";
    byJob[std::stoi(Field(result, "LAVORO"))] = name;
  }
  ASSERT_EQ(byJob.size(), 100u) << "a receipt printed twice";
  int lastBatch = 0;
  for (const auto& [job, name] : byJob) {
    EXPECT_GE(batchOf[name], lastBatch) << name << " printed before an older receipt";
    lastBatch = batchOf[name];
  }
  EXPECT_TRUE(tree.Read("dorvane.txt").find("Chiusura di ZTK DORVANE") != std::string::npos);
}

TEST_F(Shop, AJobErrorBlocksTheCycleUntilTheRetryMarker) {
  Configure(false);
  StartKora1({"--fail-receipts", "2"});
  Drop("A.001", 101);
  ::usleep(1100 * 1000);
  Drop("B.001", 102);
  ::usleep(1100 * 1000);
  Drop("C.001", 103);
  StartDorvane(false);
  ASSERT_TRUE(WaitFor(30000, [&] { return tree.Exists("err/B.001_ERR.ERR"); }));
  EXPECT_EQ(tree.Read("err/B.001.ERR"), Receipt(102));
  EXPECT_EQ(tree.Read("err/B.001_ERR.ERR").rfind("E050", 0), 0u);
  EXPECT_TRUE(tree.Exists("out/A.001.OUT"));
  ::usleep(1500 * 1000);  // blocked: thirty ticks and C waits
  EXPECT_TRUE(tree.Exists("in/C.001"));
  EXPECT_FALSE(tree.Exists("in/B.001"));
  tree.Write("in/DORVRETRY.DVN", "");
  ASSERT_TRUE(WaitFor(30000, [&] { return tree.Exists("out/C.001.OUT"); }));
  EXPECT_TRUE(WaitFor(5000, [&] { return !tree.Exists("in/DORVRETRY.DVN") && !tree.Exists("in/C.001"); }));
}

TEST_F(Shop, APaperOutIsHeldUntilPaperIsLoaded) {
  Configure(false);
  StartKora1({"--paper-out-after", "1", "--paper-clear", "empty"});
  Drop("A.001", 101);
  ::usleep(1100 * 1000);
  Drop("B.001", 102);
  StartDorvane(false);
  ASSERT_TRUE(WaitFor(30000, [&] { return tree.Exists("err/B.001_ERR.ERR"); }));
  ::usleep(1000 * 1000);
  EXPECT_TRUE(tree.Exists("in/B.001"));
  EXPECT_FALSE(tree.Exists("out/B.001.OUT"));
  tree.Write("data/ZTKKORA1/KKORA1.tmp", "paper=load\r\n");
  ASSERT_EQ(::rename(tree.Path("data/ZTKKORA1/KKORA1.tmp").c_str(), tree.Path("data/ZTKKORA1/KKORA1.CTL").c_str()), 0);
  ASSERT_TRUE(WaitFor(30000, [&] { return tree.Exists("out/B.001.OUT"); }));
  EXPECT_EQ(Field(tree.Read("out/B.001.OUT"), "TOTALE"), Total(102));
  EXPECT_TRUE(WaitFor(5000, [&] { return !tree.Exists("in/B.001"); }));
  EXPECT_FALSE(tree.Exists("err/B.001_ERR.ERR"));  // the cleared report took the copy with it
}

TEST_F(Shop, ADriverThatTakesJobsLateStillFilesEachWithItsOwnResult) {
  Configure(false);
  StartKora1({"--take-delay-ms", "400"});
  for (int n = 0; n < 5; ++n) {
    if (n > 0) ::usleep(1100 * 1000);
    Drop("L" + std::to_string(n) + ".001", 200 + n);
  }
  StartDorvane(true);
  EXPECT_EQ(dorvane->Wait(60000), 0);
  for (int n = 0; n < 5; ++n) {
    const std::string result = tree.Read("out/L" + std::to_string(n) + ".001.OUT");
    EXPECT_EQ(Field(result, "TOTALE"), Total(200 + n)) << n;
    EXPECT_EQ(Field(result, "LAVORO"), std::to_string(n + 1)) << n;
  }
}

TEST_F(Shop, AReceiptStillBeingWrittenOrRenamedInReachesKora1Whole) {
  Configure(false);
  StartKora1({});
  StartDorvane(false);
  ASSERT_TRUE(WaitFor(10000, [&] { return tree.Read("dorvane.txt").find("KORA1 CONNESSO") != std::string::npos; }));
  // Two sales and the payment, with pauses longer than a tick and than a
  // second: half a receipt would print a smaller total.
  const std::vector<std::string> chunks{"PLUD,C1,N1,P100,:A;\r\n", "PLUD,C1,N1,P200,:B;\r\n", "CASH,V300,:C;\r\n"};
  const int open = ::open(tree.Path("in/OPEN.001").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int renamed = ::open(tree.Path("in/RENAMED.tmp").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_TRUE(open >= 0 && renamed >= 0);
  for (const std::string& chunk : chunks) {
    ASSERT_EQ(::write(open, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
    ASSERT_EQ(::write(renamed, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
    ::usleep(1500 * 1000);
  }
  ::close(open);
  ::close(renamed);
  ASSERT_EQ(::rename(tree.Path("in/RENAMED.tmp").c_str(), tree.Path("in/RENAMED.001").c_str()), 0);
  for (const char* name : {"OPEN.001", "RENAMED.001"}) {
    ASSERT_TRUE(WaitFor(30000, [&] { return tree.Exists(std::string("out/") + name + ".OUT"); })) << name;
    EXPECT_EQ(Field(tree.Read(std::string("out/") + name + ".OUT"), "TOTALE"), Total(300)) << name;
  }
}

#endif  // KKORA1_EXE

}  // namespace
}  // namespace dorvane::e2e
