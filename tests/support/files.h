// Real files for tests that run against the system: a scratch folder, whole
// files written and read as bytes, and waiting for something to happen.
#pragma once

#include <functional>
#include <string>

namespace dorvane::test {

// A fresh folder under the system's temporary directory, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Root() const { return root_; }
  // "a/b" -> root + sep + a + sep + b, with the platform separator.
  std::string Path(const std::string& relative) const;
  void MakeDir(const std::string& relative) const;
  void Write(const std::string& relative, const std::string& bytes, bool executable = false) const;
  std::string Read(const std::string& relative) const;  // empty when missing
  bool Exists(const std::string& relative) const;

 private:
  std::string root_;
};

// Polls cond every 10 ms until it holds or timeoutMs passes.
bool WaitFor(int timeoutMs, const std::function<bool()>& cond);

// Occurrences of part in text.
int Count(const std::string& text, const std::string& part);

}  // namespace dorvane::test
