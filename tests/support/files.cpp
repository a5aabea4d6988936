#include "support/files.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace dorvane::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device rd;
  for (;;) {
    const fs::path p = fs::temp_directory_path() / ("dorvane-test-" + std::to_string(rd()));
    if (fs::create_directory(p)) {
      root_ = p.string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string TempDir::Path(const std::string& relative) const {
  return (fs::path(root_) / fs::path(relative).make_preferred()).string();
}

void TempDir::MakeDir(const std::string& relative) const { fs::create_directories(Path(relative)); }

void TempDir::Write(const std::string& relative, const std::string& bytes, bool executable) const {
  std::ofstream(Path(relative), std::ios::binary) << bytes;
  if (executable) fs::permissions(Path(relative), fs::perms::owner_all, fs::perm_options::add);
}

std::string TempDir::Read(const std::string& relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool TempDir::Exists(const std::string& relative) const { return fs::exists(Path(relative)); }

bool WaitFor(int timeoutMs, const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace dorvane::test
