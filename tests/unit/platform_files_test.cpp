// The FileSystem and FolderWatcher ports against the real system, whichever
// implementation this build has: bytes kept, replacing writes, hidden files,
// error numbers, and the files the watcher reports.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <set>
#include <thread>

#include "notify/status_file.h"
#include "support/fakes.h"
#include "support/files.h"
#include "text/text.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_folder_watcher.h"
using RealFileSystem = dorvane::Win32FileSystem;
using RealWatcher = dorvane::Win32FolderWatcher;
#else
#include "platform/posix/inotify_watcher.h"
#include "platform/posix/posix_filesystem.h"
using RealFileSystem = dorvane::PosixFileSystem;
using RealWatcher = dorvane::InotifyWatcher;
#endif

namespace dorvane::test {
namespace {

class RealFiles : public ::testing::Test {
 protected:
  std::string P(const std::string& name) { return dir.Path(name); }
  TempDir dir;
  RealFileSystem files;
};

TEST_F(RealFiles, BytesAreKeptAndWritesReplace) {
  const std::string bytes = std::string("caff\xe8\r\nriga\r\n\x80\0", 14);
  ASSERT_TRUE(files.WriteAll(P("a"), bytes));
  ASSERT_TRUE(files.Append(P("a"), "+"));
  ASSERT_TRUE(files.Append(P("new"), "n"));
  ASSERT_TRUE(files.WriteAll(P("b"), "an older and longer content"));
  ASSERT_TRUE(files.Copy(P("a"), P("b")));
  ASSERT_TRUE(files.Rename(P("b"), P("new")));
  for (auto [name, content] : {std::pair{"a", bytes + "+"}, {"new", bytes + "+"}}) {
    std::string read;
    ASSERT_TRUE(files.ReadAll(P(name), read)) << name;
    EXPECT_EQ(read, content) << name;
  }
  EXPECT_FALSE(files.Exists(P("b")));
  for (std::size_t want : {std::size_t(3), std::size_t(100)}) {  // the end of a file, and a whole short one
    std::string tail;
    std::uint64_t size = 0;
    ASSERT_TRUE(files.ReadTail(P("a"), want, tail, size));
    EXPECT_EQ(size, bytes.size() + 1);
    EXPECT_EQ(tail, (bytes + "+").substr(want < size ? size - want : 0));
  }

  LocalDateTime when;
  ASSERT_TRUE(files.CreationTime(P("a"), when));
  const std::time_t now = std::time(nullptr);
  EXPECT_EQ(when.year * 100 + when.month, (std::localtime(&now)->tm_year + 1900) * 100 + std::localtime(&now)->tm_mon + 1);
}

TEST_F(RealFiles, FailuresCarryTheRunTimeErrorNumber) {
  std::string read;
  LocalDateTime when;
  ASSERT_TRUE(files.WriteAll(P("file"), "x"));
  EXPECT_EQ(files.ReadAll(P("missing"), read).number, kErrFileNotFound);
  EXPECT_EQ(files.CreationTime(P("missing"), when).number, kErrFileNotFound);
#ifdef _WIN32
  const std::string nowhere = P("none/x");
#else
  const std::string nowhere = P("file/x");  // a missing folder reads as a missing file here
#endif
  EXPECT_EQ(files.ReadAll(nowhere, read).number, kErrPathNotFound);
  EXPECT_EQ(files.WriteAll(nowhere, "x").number, kErrPathNotFound);
  std::vector<std::string> names;
  EXPECT_EQ(files.ListFiles(P("none"), names).number, kErrPathNotFound);
}

TEST_F(RealFiles, HiddenFilesAndDirectoriesAreNeitherFoundNorListed) {
  dir.Write("A.001", "a");
  dir.MakeDir("D.001");
#ifdef _WIN32
  const std::string hidden = "H.001";
  dir.Write(hidden, "h");
  dir.Write("S.001", "s");
  SetFileAttributesA(P(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA(P("S.001").c_str(), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_FALSE(files.Exists(P("S.001")));
  EXPECT_TRUE(files.Exists(P("a.001"))) << "names ignore letter case";
#else
  const std::string hidden = ".H.001";
  dir.Write(hidden, "h");
#endif
  EXPECT_TRUE(files.Exists(P("A.001")));
  EXPECT_FALSE(files.Exists(P(hidden)));
  EXPECT_FALSE(files.Exists(P("D.001")));
  EXPECT_TRUE(files.IsDirectory(P("D.001")));
  std::vector<std::string> names;
  ASSERT_TRUE(files.ListFiles(dir.Root(), names));
  EXPECT_EQ(names, std::vector<std::string>{"A.001"});
}

TEST_F(RealFiles, TheWatcherReportsFilesWrittenRemovedAndRenamedButNotFolders) {
  using Kind = FolderChange::Kind;
  RealWatcher watcher;
  EXPECT_FALSE(watcher.Watch({P("absent")}));
  ASSERT_TRUE(watcher.Watch({dir.Root(), ""}));
  ASSERT_TRUE(files.WriteAll(P("a.001"), "x"));
  ASSERT_TRUE(files.WriteAll(P("b.tmp"), "x"));
  ASSERT_TRUE(files.Rename(P("b.tmp"), P("b.001")));
  ASSERT_TRUE(files.Remove(P("a.001")));
  dir.MakeDir("sub");
  std::set<std::pair<Kind, std::string>> seen;
  auto saw = [&](Kind kind, const std::string& name) { return seen.count({kind, P(name)}) != 0; };
  EXPECT_TRUE(WaitFor(5000, [&] {
    for (const FolderChange& c : watcher.TakeChanges()) seen.insert({c.kind, c.path});
    return saw(Kind::kWritten, "a.001") && saw(Kind::kWritten, "b.001") && saw(Kind::kRemoved, "b.tmp") &&
           saw(Kind::kRemoved, "a.001");
  }));
  for (Kind kind : {Kind::kCreated, Kind::kWritten, Kind::kRemoved}) EXPECT_FALSE(saw(kind, "sub"));
#ifndef _WIN32
  // The folder removed and made again: the loss is told and the new folder watched.
  const std::string inner = P("sub");
  ASSERT_TRUE(watcher.Watch({inner}));
  std::filesystem::remove(inner);
  seen.clear();
  EXPECT_TRUE(WaitFor(5000, [&] {
    for (const FolderChange& c : watcher.TakeChanges()) seen.insert({c.kind, c.path});
    return seen.count({Kind::kLost, inner}) != 0;
  }));
  dir.MakeDir("sub");
  seen.clear();
  EXPECT_TRUE(WaitFor(5000, [&] {
    for (const FolderChange& c : watcher.TakeChanges()) seen.insert({c.kind, c.path});
    return seen.count({Kind::kLost, inner}) != 0;
  })) << "the folder made again is told, as what happened meanwhile is unknown";
  ASSERT_TRUE(files.WriteAll(JoinPath(inner, "c.001"), "x"));
  EXPECT_TRUE(WaitFor(5000, [&] {
    for (const FolderChange& c : watcher.TakeChanges()) seen.insert({c.kind, c.path});
    return seen.count({Kind::kWritten, JoinPath(inner, "c.001")}) != 0;
  }));
#endif
}

// A management program polls the status file while DORVANE rewrites it: every read finds a whole file (on
// Windows a reader holding the file makes the rename fail, and the write is tried again on a later poll).
TEST_F(RealFiles, TheStatusFileIsAlwaysWholeToAReader) {
  VirtualClock clock;
  FakeSystemInfo system;
  StatusFile status(files, clock, system, [this] { return dir.Root(); });
  const std::string path = P(StatusFile::kStatusFileName);
  status.Poll();
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0}, partial{0};
  std::thread reader([&] {
    RealFileSystem mine;
    for (std::string bytes; !stop;)
      if (mine.ReadAll(path, bytes) && ++reads && !(StartsWith(bytes, "{\r\n  \"formato\": 1,") && EndsWith(bytes, "}\r\n}\r\n"))) ++partial;
  });
  Job job;
  int i = 0;
  for (; i < 20000 && (i < 300 || reads < 300); ++i) {
    job.input = std::string(16000 + i % 7 * 8000, 'x');  // files of 16 to 64 KB
    status.Taken(job), status.Waiting(i), clock.AdvanceTo((i + 1) * StatusFile::kMinGapMs), status.Poll();
  }
  stop = true, reader.join();
  EXPECT_EQ(partial, 0) << "of " << reads << " reads";
  clock.AdvanceTo((i + 1) * StatusFile::kMinGapMs);
  status.Poll();
  EXPECT_NE(dir.Read(StatusFile::kStatusFileName).find("\"in_attesa\": " + std::to_string(i - 1) + ","), std::string::npos) << "the last state is written";
  EXPECT_FALSE(files.Exists(P(StatusFile::kStatusTempName)));
}

}  // namespace
}  // namespace dorvane::test
