// The real kkora1 executable driven as DORVANE drives it: job file, then start
// signal, then wait for FINESCO or SR_ERR.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fileio.h"
#include "sarema.h"
#include "simulator.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace dorvane::kkora1 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// One kkora1 process; killed hard if a test leaves it running.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
        const std::string& logPath) {
#ifdef _WIN32
    std::string cmd = "\"" + std::string(KKORA1_EXE) + "\"";
    for (const auto& a : args) cmd += " \"" + a + "\"";
    std::string block;
    for (const char* e = GetEnvironmentStringsA(); *e; e += std::strlen(e) + 1) {
      const std::string entry(e);
      const std::string name = entry.substr(0, entry.find('=', 1));
      if (!env.count(name)) block += entry + '\0';
    }
    for (const auto& [k, v] : env) block += k + "=" + v + '\0';
    block += '\0';
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, block.data(), nullptr,
                       &si, &pi)) {
      process_ = pi.hProcess;
      pid_ = pi.dwProcessId;
      CloseHandle(pi.hThread);
    }
    CloseHandle(out);
#else
    std::vector<std::string> strings{KKORA1_EXE};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
      const std::string entry(*e);
      if (!env.count(entry.substr(0, entry.find('=')))) envStrings.push_back(entry);
    }
    for (const auto& [k, v] : env) envStrings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, KKORA1_EXE, &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
#endif
  }

  ~Child() {
    if (!Running()) return;
#ifdef _WIN32
    TerminateProcess(process_, 9);
    CloseHandle(process_);
#else
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
#endif
  }

  bool Started() const { return pid_ != 0; }

  // The close request DORVANE makes: SIGTERM, or WM_CLOSE as TASKKILL sends it.
  void AskToClose() {
#ifdef _WIN32
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
          DWORD owner = 0;
          GetWindowThreadProcessId(hwnd, &owner);
          if (owner == static_cast<DWORD>(lParam)) PostMessageA(hwnd, WM_CLOSE, 0, 0);
          return TRUE;
        },
        static_cast<LPARAM>(pid_));
#else
    kill(pid_, SIGTERM);
#endif
  }

  // Exit code, or -1 when still running after the timeout (or killed by a signal).
  int Wait(std::chrono::milliseconds timeout) {
    if (exitCode_) return *exitCode_;
#ifdef _WIN32
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    CloseHandle(process_);
    exitCode_ = static_cast<int>(code);
#else
    const auto end = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) return -1;
      std::this_thread::sleep_for(10ms);
    }
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return *exitCode_;
  }

 private:
  bool Running() const { return pid_ != 0 && !exitCode_; }
#ifdef _WIN32
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
#else
  pid_t pid_ = 0;
#endif
  std::optional<int> exitCode_;
};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3000ms) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class Kkora1Process : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("kkora1_test_" + std::to_string(rd()));
    fs::create_directories(root_);
    data_ = (root_ / "data").string();
  }
  void TearDown() override {
    child_.reset();
    if (HasFailure()) std::cerr << "kkora1 log:\n" << ReadFileBytes(LogPath()).value_or("") << "\n";
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  std::string LogPath() const { return (root_ / "kkora1.log").string(); }
  std::string File(const std::string& base, int port = 1) const { return JoinPath(data_, ExchangeName(base, port)); }
  std::string Read(const std::string& path) const { return ReadFileBytes(path).value_or(""); }
  std::string Journal() const { return Read(JoinPath(data_, kJournalFileName)); }

  // Starts kkora1 on the test's data directory, fast, and waits for its dump.
  void Launch(std::vector<std::string> extra = {}, std::map<std::string, std::string> env = {},
              bool waitForDump = true) {
    std::vector<std::string> args{"0", "--data-dir", data_, "--dump-ms", "100", "--poll-ms", "10", "--no-register"};
    args.insert(args.end(), extra.begin(), extra.end());
    child_ = std::make_unique<Child>(args, env, LogPath());
    ASSERT_TRUE(child_->Started());
    // The data directory exists once the dump has started.
    ASSERT_TRUE(WaitFor([&] { return Read(LogPath()).find("dump started") != std::string::npos; }));
    if (waitForDump) {
      ASSERT_TRUE(WaitFor([&] { return FileExists(File("SR_MATR")); })) << "no dump";
    }
  }

  // What DORVANE does: the job first, then the start signal.
  void Send(const std::string& job, int port = 1) {
    ASSERT_TRUE(WriteFileAtomic(File("SR_DATI", port), job));
    ASSERT_TRUE(WriteFileAtomic(File("SR_START", port), "START\r\n"));
  }

  // Waits for the job's verdict: true for FINESCO, false for SR_ERR.
  bool Verdict(int port = 1) {
    bool ended = WaitFor([&] { return FileExists(File("FINESCO", port)) || FileExists(File("SR_ERR", port)); });
    EXPECT_TRUE(ended) << "no verdict";
    return FileExists(File("FINESCO", port));
  }

  void Control(const std::string& lines) {
    const std::string path = JoinPath(data_, kControlFileName);
    ASSERT_TRUE(WriteFileAtomic(path, lines));
    ASSERT_TRUE(WaitFor([&] { return !FileExists(path); })) << "control file not consumed";
  }

  void CloseCleanly() {
    child_->AskToClose();
    EXPECT_EQ(child_->Wait(3000ms), 0);
  }

  fs::path root_;
  std::string data_;
  std::unique_ptr<Child> child_;
};

const std::string kReceipt =
    "PLUD,C1,N1,P000000150,:PANE,Q2;\r\nPLUD,C1,N2,P1000,:VINO;\r\nDISC,%10,:SCONTO 10.00%;\r\n"
    "CASH,V2000,:CONTANTI;\r\n";  // 3,00 + 10,00 - 1,00 = 12,00; change 8,00

TEST_F(Kkora1Process, ValidJobsAreJournaledOnceAndAnsweredWithSrOutThenFinesco) {
  fs::create_directories(data_);
  WriteFileAtomic(File("SR_MATR"), "stale\r\n");
  Launch({}, {}, false);
  // A marker left by an earlier run does not count as ready; the dump makes a new one.
  ASSERT_TRUE(WaitFor([&] { return !FileExists(File("SR_MATR")); }));
  ASSERT_TRUE(WaitFor([&] { return FileExists(File("SR_MATR")); }));

  // Leftovers of a previous job must not pass as this job's end.
  WriteFileAtomic(File("FINESCO"), "old\r\n");
  WriteFileAtomic(File("SR_OUT"), "old\r\n");
  WriteFileAtomic(File("SR_DATI"), kReceipt);
  WriteFileAtomic(File("SR_START"), "START\r\n");
  ASSERT_TRUE(WaitFor([&] { return !FileExists(File("SR_START")); })) << "SR_START not consumed";
  ASSERT_TRUE(Verdict());
  const std::string out = Read(File("SR_OUT"));
  EXPECT_NE(out.find("TOTALE=12,00\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("SCONTRINO=1\r\n"), std::string::npos) << out;
  EXPECT_EQ(Count(Journal(), "\r\nSCONTRINO N. 1\r\n"), 1);
  EXPECT_NE(Journal().find("RESTO                               8,00\r\n"), std::string::npos) << Journal();

  Send("PLUD,N1,C1,: ,P300;\r\nSUBT;\r\n");
  ASSERT_TRUE(WaitFor([&] { return Read(File("SR_OUT")).find("SCONTRINO=2") != std::string::npos; }));
  ASSERT_TRUE(Verdict());
  EXPECT_NE(Read(File("SR_OUT")).find("TOTALE=3,00"), std::string::npos);
  EXPECT_EQ(Count(Journal(), "\r\nTOTALE "), 2);

  CloseCleanly();
  EXPECT_FALSE(FileExists(File("SR_MATR")));  // a stopped driver is not ready
  const std::string log = Read(LogPath());
  EXPECT_NE(log.find("close requested"), std::string::npos);
  // Every log line carries a timestamp.
  for (const std::string& line : SplitLines(log)) EXPECT_TRUE(line.size() > 24 && line[4] == '-' && line[13] == ':') << line;
}

TEST_F(Kkora1Process, InvalidJobIsRefusedWithSrErrAndNoFinesco) {
  Launch();
  Send("PLUD,C1,N1,P100,:PANE;\r\nSCONTO,10;\r\n");
  ASSERT_FALSE(Verdict());
  const std::string first = SplitLines(Read(File("SR_ERR"))).front();
  EXPECT_EQ(first.rfind("E001: ", 0), 0u) << first;
  EXPECT_NE(first.find("RIGA 2: SCONTO,10;"), std::string::npos) << first;
  EXPECT_FALSE(ReadsAsPaperOut(first));
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(FileExists(File("FINESCO")));
  EXPECT_EQ(Journal(), "");

  // The next job is not failed by the old report.
  Send(kReceipt);
  ASSERT_TRUE(WaitFor([&] { return !FileExists(File("SR_START")); }));
  EXPECT_TRUE(Verdict());
  CloseCleanly();
}

TEST_F(Kkora1Process, PaperOutHoldsTheJobUntilPaperIsLoaded) {
  Launch({"--paper-out-after", "1"});
  Send(kReceipt);
  ASSERT_TRUE(Verdict());
  Send(kReceipt);
  ASSERT_TRUE(WaitFor([&] { return FileExists(File("SR_ERR")); }));
  EXPECT_EQ(Read(File("SR_ERR")).rfind("E096:", 0), 0u);
  std::this_thread::sleep_for(150ms);
  EXPECT_FALSE(FileExists(File("FINESCO")));
  EXPECT_EQ(Count(Journal(), "FINE SCONTRINO N. "), 1);

  Control("paper=load\r\n");
  ASSERT_TRUE(WaitFor([&] { return FileExists(File("FINESCO")); }));
  EXPECT_FALSE(FileExists(File("SR_ERR")));
  EXPECT_NE(Read(File("SR_OUT")).find("SCONTRINO=2"), std::string::npos);
  EXPECT_EQ(Count(Journal(), "FINE SCONTRINO N. "), 2);
  CloseCleanly();
}

TEST_F(Kkora1Process, CoverOpenResumesAfterHoldTimeWithSrErrEmptied) {
  Launch({"--hold-ms", "300", "--paper-clear", "empty"});
  Control("cover=open\r\n");
  Send(kReceipt);
  ASSERT_TRUE(WaitFor([&] { return FileExists(File("SR_ERR")); }));
  const std::string first = SplitLines(Read(File("SR_ERR"))).front();
  EXPECT_NE(first.find("COVER"), std::string::npos);
  EXPECT_EQ(first.find("E096:"), std::string::npos);
  ASSERT_TRUE(WaitFor([&] { return FileExists(File("FINESCO")); }));
  EXPECT_EQ(Read(File("SR_ERR")), "\r\n");
  CloseCleanly();
}

TEST_F(Kkora1Process, ChosenJobFailsAndCrashLeavesNoResult) {
  Launch({"--fail-receipts", "1", "--crash-after", "1"});
  Send(kReceipt);
  ASSERT_FALSE(Verdict());
  EXPECT_EQ(Read(File("SR_ERR")).rfind("E050:", 0), 0u);
  Send(kReceipt);  // job 2: taken, then the driver dies halfway
  EXPECT_EQ(child_->Wait(3000ms), 3);
  EXPECT_FALSE(FileExists(File("SR_START")));
  EXPECT_FALSE(FileExists(File("SR_ERR")));
  EXPECT_FALSE(FileExists(File("FINESCO")));
  EXPECT_TRUE(FileExists(File("SR_MATR")));  // a crash leaves its marker behind
  EXPECT_EQ(Journal(), "");
}

TEST_F(Kkora1Process, NoJobIsTakenBeforeTheDump) {
  Launch({"--no-dump", "--ports", "1,2"}, {}, false);
  Send(kReceipt, 2);
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(FileExists(File("SR_MATR", 1)));
  EXPECT_TRUE(FileExists(File("SR_START", 2)));
  Control("dump=now\r\n");
  // The control file is consumed a moment before the dump completes.
  EXPECT_TRUE(WaitFor([&] { return FileExists(File("SR_MATR", 1)) && FileExists(File("SR_MATR", 2)); }));
  EXPECT_TRUE(Verdict(2));
  CloseCleanly();
}

TEST_F(Kkora1Process, BusyAndSlowPrinterTakeTheirTime) {
  Launch({"--take-delay-ms", "300", "--line-ms", "50"});
  const auto sent = std::chrono::steady_clock::now();
  Send(kReceipt);
  std::this_thread::sleep_for(150ms);
  EXPECT_TRUE(FileExists(File("SR_START")));  // still waiting to be taken
  ASSERT_TRUE(Verdict());
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 300ms + 4 * 50ms);
  CloseCleanly();
}

TEST_F(Kkora1Process, XonXoffJobsPassOnlyWhenEnabled) {
  Launch({}, {{"KKORA1_XONXOFF", "1"}});
  Send("\"PANE\"150H1R\r\n1T\r\n");
  ASSERT_TRUE(Verdict());
  EXPECT_NE(Read(File("SR_OUT")).find("TIPO=XON-XOFF"), std::string::npos);
  Control("xonxoff=off\r\n");
  Send("\"PANE\"150H1R\r\n1T\r\n");
  ASSERT_TRUE(WaitFor([&] { return !FileExists(File("SR_START")); }));
  EXPECT_FALSE(Verdict());
  CloseCleanly();
}

#ifndef _WIN32
// On Windows the same step writes the user's registry, which a test must not touch.
TEST_F(Kkora1Process, DefaultDataDirAndRegistrationFollowTheXdgFolders) {
  const std::string config = (root_ / "config").string();
  const std::string share = (root_ / "share").string();
  fs::create_directories(config + "/ZTK Engineering");
  WriteFileAtomic(config + "/ZTK Engineering/ZTKKora1.conf", "Other=1\r\nZTKKora1=/old\r\n");
  child_ = std::make_unique<Child>(std::vector<std::string>{"0", "--dump-ms", "50"},
                                   std::map<std::string, std::string>{{"XDG_CONFIG_HOME", config},
                                                                      {"XDG_DATA_HOME", share},
                                                                      {"KKORA1_POLL_MS", "10"}},
                                   LogPath());
  data_ = share + "/ZTKKORA1";
  ASSERT_TRUE(WaitFor([&] { return FileExists(File("SR_MATR")); }));
  const std::string conf = Read(config + "/ZTK Engineering/ZTKKora1.conf");
  EXPECT_EQ(conf, "Other=1\r\nZTKKora1=" + data_ + "\r\nAppPath=" +
                      fs::path(KKORA1_EXE).parent_path().string() + "\r\n");
  CloseCleanly();
}
#endif

TEST_F(Kkora1Process, HelpAndBadOptions) {
  child_ = std::make_unique<Child>(std::vector<std::string>{"--help"}, std::map<std::string, std::string>{}, LogPath());
  EXPECT_EQ(child_->Wait(3000ms), 0);
  EXPECT_NE(Read(LogPath()).find("--crash-after"), std::string::npos);
  child_ = std::make_unique<Child>(std::vector<std::string>{"--port", "12"}, std::map<std::string, std::string>{}, LogPath());
  EXPECT_EQ(child_->Wait(3000ms), 2);
}

}  // namespace
}  // namespace dorvane::kkora1
