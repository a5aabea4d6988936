// The real dorvane and kkora1 with the output and error folders on a small
// file system that is full: each receipt printed once, its filing kept until
// space comes back, then filed whole. The file system is a size-limited
// tmpfs the test mounts; where mounting is not allowed the test says so and
// skips (the simulated sweep of full and missing folders still runs).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "support/process.h"

namespace dorvane::test {
namespace {

#ifdef KKORA1_EXE

TEST(FullDisk, PrintedReceiptsAreFiledWholeOnceSpaceComesBack) {
  Installation inst;
  const TempDir& tree = inst.tree;
  tree.MakeDir("in");
  tree.MakeDir("small");
  const std::string small = tree.Path("small");
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "a small file system cannot be mounted here: " << std::strerror(errno);
  struct Unmount {
    std::string dir;
    ~Unmount() { ::umount2(dir.c_str(), MNT_DETACH); }
  } unmount{small};
  tree.MakeDir("small/out");
  tree.MakeDir("small/err");
  {  // Fill it to the last byte.
    std::ofstream filler(tree.Path("small/filler"), std::ios::binary);
    const std::string block(4096, 'x');
    for (int i = 0; i < 64 && filler.write(block.data(), block.size()); ++i) {
    }
  }
  std::filesystem::copy_file(KKORA1_EXE, tree.Path("app/kkfull"));
  inst.Configure("0.1", tree.Path("in"), tree.Path("small/out"), tree.Path("small/err"),
                 {" 0 ", " ", "kkfull.exe", " 1 ", " 1 ", " 0 "});
  std::vector<std::string> env = inst.Env();
  env.push_back("KKORA1_POLL_MS=10");
  Child kora1({tree.Path("app/kkfull"), "0"}, env, tree.Path("kkora1.txt"));
  ASSERT_TRUE(WaitFor(10000, [&] { return tree.Exists("data/ZTKKORA1/SR_MATR.001"); }));
  for (int n = 1; n <= 5; ++n)
    tree.Write("in/F" + std::to_string(n) + ".001", "PLUD,C1,N1,P10" + std::to_string(n) + ",:PEZZO" +
                                                        std::to_string(n) + "Z;\r\nCASH,V10" + std::to_string(n) +
                                                        ",:CONTANTI;\r\n");
  Child dorvane({DORVANE_EXE, "--headless", "/NONID"}, env, tree.Path("dorvane.txt"));
  ASSERT_TRUE(WaitFor(30000, [&] { return inst.Log().find("Disco pieno 61") != std::string::npos; })) << inst.Log();
  for (const char* dir : {"small/out", "small/err"})
    for (const auto& entry : std::filesystem::directory_iterator(tree.Path(dir)))
      EXPECT_GT(entry.file_size(), 0u) << entry.path() << ": nothing that looks like a result while the disk is full";

  std::filesystem::remove(tree.Path("small/filler"));
  ASSERT_TRUE(WaitFor(60000, [&] {
    return std::filesystem::is_empty(tree.Path("in")) && tree.Exists("small/err/F5.001.BTO");
  })) << inst.Log();
  dorvane.Signal(SIGTERM);
  dorvane.Wait(15000);
  kora1.Signal(SIGTERM);
  kora1.Wait(5000);

  const std::string journal = tree.Read("data/ZTKKORA1/KKORA1_GIORNALE.TXT");
  for (int n = 1; n <= 5; ++n) {
    const std::string name = "F" + std::to_string(n) + ".001";
    EXPECT_EQ(Count(journal, "PEZZO" + std::to_string(n) + "Z"), 1) << name << " printed once";
    EXPECT_NE(tree.Read("small/out/" + name + ".OUT").find("SCONTRINO="), std::string::npos) << name;
    EXPECT_EQ(tree.Read("small/err/" + name + ".BTO"), "OK\r\n") << name;
  }
  EXPECT_EQ(Count(inst.Log(), "Disco pieno 61"), 1) << "the cause is told once: " << inst.Log();
}

#endif  // KKORA1_EXE

}  // namespace
}  // namespace dorvane::test
