// Where the simulator takes its settings from, and how it records its
// directories for DORVANE.
#include <gtest/gtest.h>

#include <map>

#include "options.h"
#include "platform.h"

namespace dorvane::kkora1 {
namespace {

CommandLine Parse(std::vector<std::string> args, std::map<std::string, std::string> env = {}) {
  return ParseCommandLine(args, [env](const std::string& name) -> std::optional<std::string> {
    auto it = env.find(name);
    if (it == env.end()) return std::nullopt;
    return it->second;
  });
}

TEST(Options, CommandLineOverridesEnvironment) {
  CommandLine line = Parse({"0", "--dump-ms", "20", "--port", "3", "--port=5", "--fail-receipts", "3,5"},
                           {{"KKORA1_DUMP_MS", "900"}, {"KKORA1_PORTS", "1,2"},
                            {"KKORA1_DATA_DIR", "/tmp/k"}, {"KKORA1_XONXOFF", "on"}});
  ASSERT_EQ(line.error, "");
  EXPECT_EQ(line.options.dumpMs, 20);
  EXPECT_EQ(line.options.ports, (std::vector<int>{3, 5}));
  EXPECT_EQ(line.options.dataDir, "/tmp/k");
  EXPECT_TRUE(line.options.xonxoff);
  EXPECT_EQ(line.options.failJobs, (std::vector<int>{3, 5}));

  CommandLine envOnly = Parse({}, {{"KKORA1_PORTS", "2,1,2"}, {"KKORA1_NO_REGISTER", "1"}});
  ASSERT_EQ(envOnly.error, "");
  EXPECT_EQ(envOnly.options.ports, (std::vector<int>{2, 1}));
  EXPECT_FALSE(envOnly.options.registerPaths);
}

TEST(ConfFile, KeepsForeignLinesAndReplacesOurValues) {
  const std::string old = "# ZTK\nztkkora1=/old\r\nCustomPathDataDir=\r\nAppPath=/x\nAPPPATH=/dup\n";
  const std::string text = UpdateConfText(old, {{"ZTKKora1", "/data"}, {"AppPath", "/bin dir"}});
  EXPECT_EQ(text, "# ZTK\r\nZTKKora1=/data\r\nCustomPathDataDir=\r\nAppPath=/bin dir\r\n");
  EXPECT_EQ(UpdateConfText("", {{"ZTKKora1", "/d"}}), "ZTKKora1=/d\r\n");
  EXPECT_EQ(ConfValue(text, "appPath"), "/bin dir");
  EXPECT_EQ(ConfValue(text, "Missing"), "");
}

}  // namespace
}  // namespace dorvane::kkora1
