// The FileSystem and FolderWatcher ports against the real system, whichever
// implementation this build has: bytes kept, replacing writes, hidden files,
// error numbers, and the files the watcher reports.
#include <gtest/gtest.h>

#include <ctime>
#include <set>

#include "support/files.h"

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

TEST_F(RealFiles, TheWatcherReportsFilesWrittenOrRenamedInButNotFolders) {
  RealWatcher watcher;
  EXPECT_FALSE(watcher.Watch({P("absent")}));
  ASSERT_TRUE(watcher.Watch({dir.Root(), ""}));
  ASSERT_TRUE(files.WriteAll(P("a.001"), "x"));
  ASSERT_TRUE(files.WriteAll(P("b.tmp"), "x"));
  ASSERT_TRUE(files.Rename(P("b.tmp"), P("b.001")));
  dir.MakeDir("sub");
  std::set<std::string> seen;
  EXPECT_TRUE(WaitFor(5000, [&] {
    watcher.Wait(100);
    for (const std::string& path : watcher.TakeChanges()) seen.insert(path);
    return seen.count(P("a.001")) && seen.count(P("b.001"));
  }));
  EXPECT_FALSE(seen.count(P("sub")));
}

}  // namespace
}  // namespace dorvane::test
