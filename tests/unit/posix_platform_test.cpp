// The POSIX platform against the real system: processes found by name and
// asked to close, programs started detached, KORA1's settings file, the
// folders and the single-instance lock.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "platform/posix/posix_filesystem.h"
#include "platform/posix/posix_processes.h"
#include "platform/posix/posix_systeminfo.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/process.h"
#include "text/text.h"

namespace dorvane::test {
namespace {

namespace fs = std::filesystem;

// A scratch folder, and environment variables put back at the end.
class Posix : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto& [name, value] : savedEnv) value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }
  void SetEnv(const std::string& name, const char* value) {
    if (!savedEnv.count(name)) {
      const char* old = std::getenv(name.c_str());
      savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    value ? ::setenv(name.c_str(), value, 1) : ::unsetenv(name.c_str());
  }
  void SetEnv(const std::string& name, const std::string& value) { SetEnv(name, value.c_str()); }
  std::string Path(const std::string& name) const { return dir.Path(name); }

  TempDir dir;
  std::map<std::string, std::optional<std::string>> savedEnv;
  PosixProcesses processes;
};

// Copies of `sleep` under a name of our choosing, so that the kernel reports
// that name (a symbolic link would report "sleep"), longer than the kernel's
// short process names.
TEST_F(Posix, FoundByBaseNameAndTheFirstAskedToCloseWithSigterm) {
  const std::string name = "DvKoraPastTheKernelsShortName" + std::to_string(::getpid()), exe = Path(name);
  fs::copy_file(fs::exists("/usr/bin/sleep") ? "/usr/bin/sleep" : "/bin/sleep", exe);
  Child a({exe, "30"}, {}, Path("a.txt")), b({exe, "30"}, {}, Path("b.txt"));
  for (const Child* c : {&a, &b}) ASSERT_TRUE(WaitFor(5000, [&] { return processes.ReadModule(c->Pid()).fileName == exe; }));
  EXPECT_EQ(processes.ReadModule(a.Pid()).name, name + ".exe");
  Harness h;  // fakes for everything but the processes
  Dispatcher dispatcher{h.fs, h.clock, processes, h.system, h.ui};
  Kora1Process& d = Probe::Process(dispatcher);
  EXPECT_FALSE(d.SearchProcess(name)) << "a name without .exe finds nothing";
  // The one the search meets first is the one asked to close.
  const std::vector<std::int32_t> ids = processes.EnumerateIds();
  const bool aFirst = std::find(ids.begin(), ids.end(), a.Pid()) < std::find(ids.begin(), ids.end(), b.Pid());
  Child &first = aFirst ? a : b, &second = aFirst ? b : a;
  EXPECT_TRUE(d.SearchProcessAndKillIt(UpperAnsi(name) + ".EXE"));
  EXPECT_EQ(first.Wait(5000), 128 + SIGTERM);
  EXPECT_TRUE(second.Running()) << "the second copy must still run";
  EXPECT_EQ(d.ProcessInfo(first.Pid()).Name, "");
  EXPECT_TRUE(h.ui.messages.empty()) << "a vanished process is never reported";
}

TEST_F(Posix, Kora1StartsDetachedUnderItsBareName) {
  // Records its argument, its parent and its session.
  const std::string script = "#!/bin/sh\necho \"$1 $PPID $(cut -d' ' -f6 /proc/$$/stat)\" > \"$0.ran\"\n";
  dir.Write("kkora1", script, true);
  dir.Write("notes.exe", "text");
  for (auto [name, exists] : {std::pair{"kkora1.exe", true}, {"kkora1", true}, {"notes.exe", false}, {"absent.exe", false}})
    EXPECT_EQ(processes.ProgramExists(Path(name)), exists) << name;
  EXPECT_FALSE(processes.ShellOpen(Path("absent.exe"), "0", 2));

  const pid_t self = ::getpid();
  ASSERT_TRUE(processes.ShellOpen(Path("kkora1.exe"), "0", 2));
  ASSERT_EQ(::getpid(), self) << "the program that started KORA1 must go on as itself";
  ASSERT_TRUE(WaitFor(5000, [&] { return !dir.Read("kkora1.ran").empty(); }));
  int parent = 0, session = 0;
  char arg[8] = {};
  ASSERT_EQ(std::sscanf(dir.Read("kkora1.ran").c_str(), "%7s %d %d", arg, &parent, &session), 3);
  // Its argument, and neither our child nor in our session.
  EXPECT_TRUE(std::string(arg) == "0" && parent != self && session != ::getsid(0)) << dir.Read("kkora1.ran");
}

TEST_F(Posix, DocumentsGoToXdgOpenAndItsAbsenceIsAFailure) {
  const std::string manual = Path("ManDorvane.pdf");
  dir.Write("ManDorvane.pdf", "%PDF");
  dir.MakeDir("bin");
  SetEnv("PATH", Path("bin"));
  EXPECT_FALSE(processes.ShellOpen(manual, "0", 1));
  dir.Write("bin/xdg-open", "#!/bin/sh\necho \"$1\" > \"" + Path("opened") + "\"\n", true);
  EXPECT_TRUE(processes.ShellOpen(manual, "0", 1));
  EXPECT_TRUE(WaitFor(5000, [&] { return dir.Read("opened") == manual + "\n"; }));
}

// A document's opener is followed to its exit status. The real xdg-open
// with nothing to open a PDF with (no desktop, MIME data, applications,
// mailcap entry or browser) ends with 3, "no method available". One that
// runs the viewer in the foreground runs on to its end, and neither it nor
// the process that waits for it is left a zombie.
TEST_F(Posix, XdgOpenIsFollowedToItsExitStatusNeverEndedNorLeftAZombie) {
  ASSERT_EQ(::access("/usr/bin/xdg-open", X_OK), 0) << "xdg-utils is missing: scripts/deps.sh desktop";
  dir.Write("ManDorvane.pdf", "%PDF-1.4\n%%EOF\n");
  dir.MakeDir("empty");
  for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "MAILCAPS"})
    SetEnv(name, Path("empty"));
  SetEnv("BROWSER", "");
  SetEnv("DISPLAY", ":4242");  // a desktop, as far as xdg-open looks
  for (const char* name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                           "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "DBUS_SESSION_BUS_ADDRESS"})
    SetEnv(name, nullptr);
  using State = ShellOpening::State;
  auto verdict = [&](ShellOpening& opening) {
    State state = State::Running;
    EXPECT_TRUE(WaitFor(60000, [&] { return (state = opening.Poll()) != State::Running; }));
    return state;
  };
  EXPECT_EQ(verdict(*processes.ShellOpenFollowed(Path("ManDorvane.pdf"), "0", 1)), State::Failed);

  dir.Write("xdg-open", "#!/bin/sh\necho $PPID > \"$1.parent\"\nsleep 1\n", true);
  SetEnv("PATH", dir.Root() + ":/usr/bin:/bin");
  const std::unique_ptr<ShellOpening> viewer = processes.ShellOpenFollowed(Path("ManDorvane.pdf"), "0", 1);
  EXPECT_EQ(viewer->Poll(), State::Running);
  EXPECT_EQ(verdict(*viewer), State::Succeeded);
  const pid_t watcher = std::atoi(dir.Read("ManDorvane.pdf.parent").c_str());
  EXPECT_TRUE(watcher > 0 && watcher != ::getpid()) << watcher;
  EXPECT_TRUE(WaitFor(5000, [&] { return ::kill(watcher, 0) != 0; })) << "the opener's watcher was never reaped";
  EXPECT_LE(::waitpid(-1, nullptr, WNOHANG), 0) << "a child of ours was left a zombie";
}

// A writer that pauses longer than a second between its writes still holds
// its receipt: half a receipt must never print.
TEST_F(Posix, AFileIsHeldWhileOpenForWritingOrByAgeWhereTheKernelIsNotAsked) {
  PosixFileSystem files, byAge(false);
  auto age = [&](int seconds) {
    struct timespec times[2] = {};
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[1] = times[0];
    times[1].tv_sec -= seconds;
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("r.001").c_str(), times, 0), 0);
  };
  const int writer = ::open(Path("r.001").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(writer, 0);
  age(10);
  EXPECT_TRUE(files.HeldByWriter(Path("r.001")));
  ::close(writer);
  age(0);
  EXPECT_FALSE(files.HeldByWriter(Path("r.001")));  // closed: free at once, however new
  EXPECT_TRUE(byAge.HeldByWriter(Path("r.001")));
  for (int seconds : {2, -10}) {  // -10: written "in the future" by a clock set back, not held for ever
    age(seconds);
    EXPECT_FALSE(byAge.HeldByWriter(Path("r.001"))) << seconds;
  }
}

// Links are never receipts: not listed, not found, not read, even when one
// takes a receipt's place after the choice; they are named to be told.
TEST_F(Posix, LinksAreNamedButNeverFoundNorRead) {
  PosixFileSystem files;
  dir.Write("secret.txt", "SEGRETO");
  for (const char* link : {"L1.001", "L2.001"}) ASSERT_EQ(::symlink(Path("secret.txt").c_str(), Path(link).c_str()), 0);
  ASSERT_EQ(::symlink(Path("nowhere").c_str(), Path("L3.001").c_str()), 0);
  std::vector<std::string> names, links;
  ASSERT_TRUE(files.ListFiles(dir.Root(), names) && files.ListLinks(dir.Root(), links));
  EXPECT_EQ(names, std::vector<std::string>{"secret.txt"});
  std::sort(links.begin(), links.end());
  EXPECT_EQ(links, (std::vector<std::string>{"L1.001", "L2.001", "L3.001"}));
  std::string bytes = "stale";  // a failed read leaves nothing behind
  EXPECT_FALSE(files.Exists(Path("L1.001")) || files.ReadAll(Path("L1.001"), bytes) || files.Copy(Path("L2.001"), Path("c")));
  EXPECT_TRUE(files.IsLink(Path("L3.001")));
  EXPECT_EQ(bytes, "");
}

TEST_F(Posix, Kora1SettingsFileIsReadLikeTheRegistry) {
  SetEnv("XDG_CONFIG_HOME", dir.Root());
  PosixSystemInfo system({"dorvane"});
  std::string value = "untouched";
  EXPECT_FALSE(system.QueryKora1Value("ZTKKora1", value)) << "no file";
  dir.MakeDir("ZTK Engineering");
  dir.Write("ZTK Engineering/ZTKKora1.conf", "ZTKKora1=/srv/k1 data\r\nCustomPathDataDir=\r\nappath=x\nAppPath=/opt/k1=a\r\nCount=7");
  const std::pair<const char*, const char*> values[] = {
      {"ztkkora1", "/srv/k1 data"}, {"CustomPathDataDir", ""}, {"AppPath", "/opt/k1=a"}, {"Count", "7"}};
  for (auto [name, expected] : values) {
    EXPECT_TRUE(system.QueryKora1Value(name, value)) << name;
    EXPECT_EQ(value, expected) << name;
  }
  value = "untouched";
  EXPECT_FALSE(system.QueryKora1Value("Missing", value));
  EXPECT_EQ(value, "untouched");
}

TEST_F(Posix, FoldersFromTheEnvironment) {
  SetEnv("HOME", Path("home"));
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "DORVANE_HOME"}) SetEnv(name, nullptr);
  PosixSystemInfo system({"dorvane"});
  EXPECT_EQ(system.CommonAppData(), Path("home/.local/share"));
  EXPECT_EQ(PosixSystemInfo::Kora1ConfPath(), Path("home/.config/ZTK Engineering/ZTKKora1.conf"));
  EXPECT_EQ(system.OwnDirectory(), fs::read_symlink("/proc/self/exe").parent_path().string());
  SetEnv("XDG_DATA_HOME", Path("data/"));
  EXPECT_EQ(system.CommonAppData(), Path("data"));
  SetEnv("DORVANE_HOME", Path("app//"));
  EXPECT_EQ(system.OwnDirectory(), Path("app"));
}

}  // namespace
}  // namespace dorvane::test

#endif  // _WIN32
