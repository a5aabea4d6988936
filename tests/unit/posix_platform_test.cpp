// The POSIX platform against the real system: processes found by name and
// asked to close, programs started detached, KORA1's settings file, the
// directories and the single-instance lock.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/posix/inotify_watcher.h"
#include "platform/posix/posix_filesystem.h"
#include "platform/posix/posix_processes.h"
#include "platform/posix/posix_systeminfo.h"
#include "support/fakes.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

namespace fs = std::filesystem;

bool WaitUntil(int timeoutMs, const std::function<bool()>& cond) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void WriteFile(const std::string& path, const std::string& bytes, bool executable = false) {
  std::ofstream(path, std::ios::binary) << bytes;
  if (executable) ::chmod(path.c_str(), 0755);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A temporary folder, and environment variables put back at the end.
class PosixPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/dorvane-posix-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override {
    for (auto& [name, value] : savedEnv) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void SetEnv(const std::string& name, const std::string& value) {
    if (!savedEnv.count(name)) {
      const char* old = std::getenv(name.c_str());
      savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    ::setenv(name.c_str(), value.c_str(), 1);
  }
  void UnsetEnv(const std::string& name) {
    SetEnv(name, "");
    ::unsetenv(name.c_str());
  }
  std::string Path(const std::string& name) const { return dir + "/" + name; }

  std::string dir;
  std::map<std::string, std::optional<std::string>> savedEnv;
};

// ---- Processes ----

// Copies of `sleep` under names of our choosing, so that the kernel reports
// those names; a symbolic link would report "sleep".
class ChildProcesses : public PosixPlatformTest {
 protected:
  void TearDown() override {
    for (pid_t pid : children) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    PosixPlatformTest::TearDown();
  }
  // Starts `name` (a copy of sleep) and waits until it runs under that name.
  pid_t Spawn(const std::string& name) {
    const std::string exe = Path(name);
    if (!fs::exists(exe)) fs::copy_file(SleepBinary(), exe);
    pid_t pid = ::fork();
    if (pid == 0) {
      ::execl(exe.c_str(), name.c_str(), "30", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    children.push_back(pid);
    EXPECT_TRUE(WaitUntil(5000, [&] { return processes.ReadModule(pid).fileName == exe; })) << name;
    return pid;
  }
  static std::string SleepBinary() {
    for (const char* p : {"/usr/bin/sleep", "/bin/sleep"})
      if (fs::exists(p)) return p;
    return "sleep";
  }
  // How the child ended: the signal that ended it, 0 for a normal exit,
  // -1 while it still runs.
  int EndSignal(pid_t pid) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == 0) return -1;
    std::erase(children, pid);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  int WaitEndSignal(pid_t pid) {
    int sig = -1;
    WaitUntil(5000, [&] { return (sig = EndSignal(pid)) != -1; });
    return sig;
  }
  // A process name no other test uses at the same time.
  std::string Unique(const std::string& stem) { return stem + std::to_string(::getpid()); }

  PosixProcesses processes;
  Harness h;  // fakes for everything but the processes
  Dispatcher d{h.fs, h.clock, processes, h.system, h.ui};
  std::vector<pid_t> children;
};

TEST_F(ChildProcesses, FoundByBaseNameWithOrWithoutExeInAnyCase) {
  const std::string bare = Unique("dvkora");
  const std::string withExe = Unique("DvKora") + "x.exe";
  pid_t a = Spawn(bare);
  pid_t b = Spawn(withExe);

  ProcessModule m = processes.ReadModule(a);
  EXPECT_EQ(m.openError, 0);
  EXPECT_EQ(m.name, bare + ".exe");
  EXPECT_EQ(m.fileName, Path(bare));
  EXPECT_EQ(processes.ReadModule(b).name, withExe);

  EXPECT_TRUE(d.SearchProcess(bare + ".exe"));
  EXPECT_TRUE(d.SearchProcess(UpperAnsi(bare) + ".EXE"));
  EXPECT_TRUE(d.SearchProcess(UpperAnsi(withExe)));
  EXPECT_TRUE(d.SearchProcess(withExe));
  EXPECT_FALSE(d.SearchProcess(bare)) << "a name without .exe finds nothing";
  EXPECT_FALSE(d.SearchProcess(Unique("nobody") + ".exe"));
  EXPECT_TRUE(h.ui.messages.empty());
}

TEST_F(ChildProcesses, KillAsksTheFirstWithSigtermAndLeavesTheSecond) {
  const std::string name = Unique("dvtwin");
  pid_t first = Spawn(name);
  pid_t second = Spawn(name);
  // The one the search meets first is the one asked to close.
  std::vector<std::int32_t> ids = processes.EnumerateIds();
  auto pos = [&](pid_t p) { return std::find(ids.begin(), ids.end(), p) - ids.begin(); };
  if (pos(second) < pos(first)) std::swap(first, second);

  EXPECT_TRUE(d.SearchProcessAndKillIt(UpperAnsi(name) + ".EXE"));
  EXPECT_EQ(WaitEndSignal(first), SIGTERM);
  EXPECT_EQ(EndSignal(second), -1) << "the second copy must still run";
  EXPECT_FALSE(d.SearchProcessAndKillIt(Unique("nobody") + ".exe"));
  EXPECT_EQ(EndSignal(second), -1);
}

TEST_F(ChildProcesses, EveryRunningProcessIsListedAndVanishedOnesAreQuiet) {
  std::vector<std::int32_t> ids = processes.EnumerateIds();
  EXPECT_NE(std::find(ids.begin(), ids.end(), ::getpid()), ids.end());
  EXPECT_EQ(processes.ReadModule(::getpid()).fileName, fs::read_symlink("/proc/self/exe").string());

  pid_t gone = Spawn(Unique("dvgone"));
  ::kill(gone, SIGKILL);
  ASSERT_EQ(WaitEndSignal(gone), SIGKILL);
  ProcessInfoC info = d.ProcessInfo(gone);
  EXPECT_EQ(info.Name, "");
  EXPECT_TRUE(h.ui.messages.empty()) << "a vanished process is never reported";
}

TEST_F(PosixPlatformTest, Kora1StartsDetachedFromTheExeOrTheBareName) {
  PosixProcesses processes;
  // Records its argument and its parent; the .exe one is preferred.
  const std::string script = "#!/bin/sh\necho \"$1 $PPID $(cut -d' ' -f6 /proc/$$/stat)\" > \"$0.ran\"\n";
  WriteFile(Path("kkora1"), script, true);
  ASSERT_TRUE(processes.ShellOpen(Path("kkora1.exe"), "0", 2));
  ASSERT_TRUE(WaitUntil(5000, [&] { return !ReadFile(Path("kkora1.ran")).empty(); }));
  std::istringstream ran(ReadFile(Path("kkora1.ran")));
  std::string arg;
  pid_t parent = 0, session = 0;
  ran >> arg >> parent >> session;
  EXPECT_EQ(arg, "0");
  EXPECT_NE(parent, ::getpid()) << "started as our child, not detached";
  EXPECT_NE(session, ::getsid(0)) << "still in our session";

  WriteFile(Path("kkora1.exe"), script, true);
  ASSERT_TRUE(processes.ShellOpen(Path("kkora1.exe"), "0", 2));
  EXPECT_TRUE(WaitUntil(5000, [&] { return !ReadFile(Path("kkora1.exe.ran")).empty(); }));

  EXPECT_FALSE(processes.ShellOpen(Path("absent.exe"), "0", 2));
}

TEST_F(PosixPlatformTest, ProgramExistsAsExeOrBareNameWhenExecutable) {
  PosixProcesses processes;
  WriteFile(Path("kkora1"), "#!/bin/sh\n", true);
  WriteFile(Path("notes.exe"), "text", false);
  EXPECT_TRUE(processes.ProgramExists(Path("kkora1.exe")));
  EXPECT_TRUE(processes.ProgramExists(Path("kkora1")));
  EXPECT_FALSE(processes.ProgramExists(Path("notes.exe")));
  EXPECT_FALSE(processes.ProgramExists(Path("absent.exe")));
  EXPECT_FALSE(processes.ProgramExists(dir));
}

TEST_F(PosixPlatformTest, AFileIsHeldWhileOpenForWritingOrByAgeWhereTheKernelIsNotAsked) {
  PosixFileSystem files, byAge(false);
  const int writer = ::open(Path("r.001").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(writer, 0);
  EXPECT_TRUE(files.HeldByWriter(Path("r.001")));
  ::close(writer);
  EXPECT_FALSE(files.HeldByWriter(Path("r.001")));  // closed: free at once, however new
  EXPECT_TRUE(byAge.HeldByWriter(Path("r.001")));
  auto setAge = [&](double seconds) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto shift = static_cast<time_t>(seconds);
    struct timespec times[2] = {now, now};
    times[1].tv_sec -= shift;
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("r.001").c_str(), times, 0), 0);
  };
  setAge(2);
  EXPECT_FALSE(byAge.HeldByWriter(Path("r.001")));
  setAge(-10);  // written "in the future" by a clock set back: not held for ever
  EXPECT_FALSE(byAge.HeldByWriter(Path("r.001")));
  EXPECT_FALSE(files.HeldByWriter(Path("absent")));
  EXPECT_FALSE(byAge.HeldByWriter(Path("absent")));
}

TEST_F(PosixPlatformTest, TheWatcherReportsFilesClosedAfterWritingOrRenamedIn) {
  fs::create_directory(Path("in"));
  InotifyWatcher watcher;
  ASSERT_TRUE(watcher.Watch({Path("in"), ""}));
  const int writer = ::open(Path("in/open.001").c_str(), O_WRONLY | O_CREAT, 0644);
  WriteFile(Path("renamed.tmp"), "x", false);
  ASSERT_EQ(::rename(Path("renamed.tmp").c_str(), Path("in/renamed.001").c_str()), 0);
  fs::create_directory(Path("in/sub"));
  EXPECT_EQ(watcher.TakeChanges(), std::vector<std::string>{Path("in/renamed.001")});
  ::close(writer);
  EXPECT_EQ(watcher.TakeChanges(), std::vector<std::string>{Path("in/open.001")});
  EXPECT_FALSE(watcher.Watch({Path("absent")}));
  WriteFile(Path("in/late.001"), "x", false);
  EXPECT_TRUE(watcher.TakeChanges().empty());  // the old folder is watched no more
}

TEST_F(PosixPlatformTest, DocumentsGoToXdgOpenAndItsAbsenceIsAFailure) {
  PosixProcesses processes;
  const std::string manual = Path("ManDorvane.pdf");
  WriteFile(manual, "%PDF");
  fs::create_directory(Path("bin"));
  SetEnv("PATH", Path("bin"));
  EXPECT_FALSE(processes.ShellOpen(manual, "0", 1));

  WriteFile(Path("bin/xdg-open"), "#!/bin/sh\necho \"$1\" > \"" + Path("opened") + "\"\n", true);
  EXPECT_TRUE(processes.ShellOpen(manual, "0", 1));
  EXPECT_TRUE(WaitUntil(5000, [&] { return ReadFile(Path("opened")) == manual + "\n"; }));

  EXPECT_FALSE(processes.ShellOpen(Path("missing.pdf"), "0", 1));
}

// ---- KORA1's settings file, folders, single instance ----

TEST_F(PosixPlatformTest, Kora1SettingsFileIsReadLikeTheRegistry) {
  SetEnv("XDG_CONFIG_HOME", dir);
  PosixSystemInfo system({"dorvane"});
  std::string value = "untouched";
  EXPECT_FALSE(system.QueryKora1Value("ZTKKora1", value)) << "no file";
  EXPECT_EQ(value, "untouched");

  fs::create_directory(Path("ZTK Engineering"));
  EXPECT_EQ(PosixSystemInfo::Kora1ConfPath(), Path("ZTK Engineering/ZTKKora1.conf"));
  WriteFile(Path("ZTK Engineering/ZTKKora1.conf"),
            "ZTKKora1=/srv/k1 data\r\nCustomPathDataDir=\r\nappath=x\nAppPath=/opt/k1=a\r\nCount=7");
  EXPECT_TRUE(system.QueryKora1Value("ZTKKora1", value));
  EXPECT_EQ(value, "/srv/k1 data");
  EXPECT_TRUE(system.QueryKora1Value("ztkkora1", value)) << "names ignore letter case";
  EXPECT_TRUE(system.QueryKora1Value("CustomPathDataDir", value));
  EXPECT_EQ(value, "");
  EXPECT_TRUE(system.QueryKora1Value("AppPath", value));
  EXPECT_EQ(value, "/opt/k1=a");
  EXPECT_TRUE(system.QueryKora1Value("Count", value));
  EXPECT_EQ(value, "7");
  value = "untouched";
  EXPECT_FALSE(system.QueryKora1Value("Missing", value));
  EXPECT_EQ(value, "untouched");

  Harness h;
  Dispatcher d(h.fs, h.clock, h.processes, system, h.ui);
  d.State().CurrentKora1AppPathDir = "before";
  d.VerifyAndSetPathFromRegistry();
  EXPECT_EQ(d.State().CurrentKora1DataDir, "/srv/k1 data");
  EXPECT_EQ(d.State().CurrentKora1AppPathDir, "/opt/k1=a");
}

TEST_F(PosixPlatformTest, FoldersFromTheEnvironment) {
  SetEnv("HOME", Path("home"));
  UnsetEnv("XDG_DATA_HOME");
  UnsetEnv("XDG_CONFIG_HOME");
  PosixSystemInfo system({"dorvane"});
  EXPECT_EQ(system.CommonAppData(), Path("home/.local/share"));
  EXPECT_EQ(PosixSystemInfo::Kora1ConfPath(), Path("home/.config/ZTK Engineering/ZTKKora1.conf"));
  SetEnv("XDG_DATA_HOME", Path("data/"));
  EXPECT_EQ(system.CommonAppData(), Path("data"));
  EXPECT_TRUE(system.IsNt6OrLater());

  UnsetEnv("DORVANE_HOME");
  EXPECT_EQ(system.OwnDirectory(), fs::read_symlink("/proc/self/exe").parent_path().string());
  SetEnv("DORVANE_HOME", Path("app//"));
  EXPECT_EQ(system.OwnDirectory(), Path("app"));
}

TEST_F(PosixPlatformTest, DataDirectoriesOnTheRealSystem) {
  fs::create_directories(Path("data/ZTKDORVANE"));
  fs::create_directory(Path("app"));
  SetEnv("XDG_DATA_HOME", Path("data"));
  SetEnv("XDG_CONFIG_HOME", Path("config"));
  SetEnv("DORVANE_HOME", Path("app"));
  PosixSystemInfo system({"dorvane"});
  PosixFileSystem files;
  Harness h;
  Dispatcher d(files, h.clock, h.processes, system, h.ui);
  d.CheckDorvaneDataDir();
  d.VerifyAndSetPathFromRegistry();
  d.CheckKora1DataDir();
  EXPECT_EQ(d.State().CurrentDorvaneDataDir, Path("data/ZTKDORVANE"));
  EXPECT_EQ(d.State().CurrentKora1DataDir, Path("data/ZTKKORA1"));
  EXPECT_EQ(d.State().CurrentKora1AppPathDir, Path("app"));

  // A program directory that is not there ends the program.
  SetEnv("DORVANE_HOME", Path("gone"));
  d.State().CurrentKora1AppPathDir.clear();
  EXPECT_THROW(d.CheckKora1DataDir(), ProgramEnded);
  EXPECT_EQ(h.ui.messages.back(), Path("gone") + " : DIR NON ESISTENTE");
}

TEST_F(PosixPlatformTest, OnlyOneInstanceHoldsTheLock) {
  SetEnv("XDG_RUNTIME_DIR", dir);
  auto first = std::make_unique<PosixSystemInfo>(std::vector<std::string>{"dorvane"});
  EXPECT_TRUE(first->AcquireSingleInstance());
  EXPECT_TRUE(first->AcquireSingleInstance()) << "asking again is harmless";
  PosixSystemInfo second({"dorvane"});
  EXPECT_FALSE(second.AcquireSingleInstance());
  first.reset();
  EXPECT_TRUE(second.AcquireSingleInstance()) << "the lock goes with its holder";
}

// ---- Files ----

TEST_F(PosixPlatformTest, HiddenFilesAndDirectoriesAreNeitherFoundNorListed) {
  PosixFileSystem files;
  WriteFile(Path("A.001"), "a");
  WriteFile(Path(".B.001"), "b");
  fs::create_directory(Path("C.001"));
  EXPECT_TRUE(files.Exists(Path("A.001")));
  EXPECT_FALSE(files.Exists(Path(".B.001")));
  EXPECT_FALSE(files.Exists(Path("C.001")));
  EXPECT_FALSE(files.Exists(""));
  EXPECT_TRUE(files.IsDirectory(Path("C.001")));
  std::vector<std::string> names;
  ASSERT_TRUE(files.ListFiles(dir, names));
  EXPECT_EQ(names, std::vector<std::string>{"A.001"});
  EXPECT_EQ(files.ListFiles(Path("none"), names).number, kErrPathNotFound);
}

TEST_F(PosixPlatformTest, FileOperationsKeepBytesAndReportRunTimeNumbers) {
  PosixFileSystem files;
  const std::string bytes = "caff\xe8\r\nriga\r\n\x80";
  ASSERT_TRUE(files.WriteAll(Path("a"), bytes));
  ASSERT_TRUE(files.Append(Path("a"), "+"));
  std::string read;
  ASSERT_TRUE(files.ReadAll(Path("a"), read));
  EXPECT_EQ(read, bytes + "+");

  ASSERT_TRUE(files.WriteAll(Path("b"), "old"));
  ASSERT_TRUE(files.Copy(Path("a"), Path("b")));
  ASSERT_TRUE(files.WriteAll(Path("c"), "new"));
  ASSERT_TRUE(files.Rename(Path("c"), Path("b")));
  ASSERT_TRUE(files.ReadAll(Path("b"), read));
  EXPECT_EQ(read, "new");
  EXPECT_FALSE(files.Exists(Path("c")));

  LocalDateTime when;
  ASSERT_TRUE(files.CreationTime(Path("a"), when));
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  EXPECT_EQ(when.year, tm.tm_year + 1900);

  EXPECT_EQ(files.ReadAll(Path("missing"), read).number, kErrFileNotFound);
  EXPECT_EQ(files.Remove(Path("missing")).number, kErrFileNotFound);
  EXPECT_EQ(files.WriteAll(Path("a/under-a-file"), "x").number, kErrPathNotFound);
}

}  // namespace
}  // namespace dorvane::test

#endif  // _WIN32
