// A shop on the virtual clock: DORVANE on fakes with its input, output and
// error folders, and the in-process KORA1.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/fakes.h"
#include "support/sim_kora1.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {

// Starts DORVANE (cycle on, 2 s interval) with a shop's folders, log on.
inline bool OpenShop(Dispatcher& d, const std::string& in, const std::string& out, const std::string& err) {
  if (!d.Form_Load()) return false;
  Controls& c = d.Ctl();
  c.txtInputDir.Set(in);
  c.txtOutputDir.Set(out);
  c.txtErrorDir.Set(err);
  c.txtFileFilter.Set("*.001");
  c.chbLogEnable.Set(1);
  return true;
}

class Shop : public OnFakes {
 protected:
  void SetUp() override {
    for (const std::string& dir : {in, out, err}) h.mem.AddDir(dir);
  }
  void TearDown() override { h.checker.ExpectNoneLost(); }
  void Open() { ASSERT_TRUE(OpenShop(d(), in, out, err)); }

  std::string In(const std::string& name) const { return JoinPath(in, name); }
  std::string Out(const std::string& name) const { return JoinPath(out, name); }
  std::string Err(const std::string& name) const { return JoinPath(err, name); }
  // A receipt dropped by a management program now.
  void Drop(const std::string& name, const std::string& content) { h.mem.Put(In(name), content); }
  static std::string Receipt(int n) { return "VEND,1,\"ARTICOLO " + std::to_string(n) + "\",100;\r\nCHIU,1;\r\n"; }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    ReadLines(h.mem, h.LogPath(), lines);
    return lines;
  }
  // Log lines without their date and time.
  std::vector<std::string> LogEvents() {
    std::vector<std::string> events = LogLines();
    for (std::string& line : events) line.resize(std::min(line.size(), line.rfind('|')));
    return events;
  }
  // Which of these files are there: '+' for each one present, '-' for each missing.
  std::string There(std::initializer_list<std::string> paths) {
    std::string marks;
    for (const std::string& path : paths) marks += h.mem.Has(path) ? '+' : '-';
    return marks;
  }
  bool Logged(const std::string& event) {
    const std::vector<std::string> events = LogEvents();
    return std::find(events.begin(), events.end(), event) != events.end();
  }

  SimKora1 kora1{h};
  std::string in = h.Path("in"), out = h.Path("out"), err = h.Path("err");
};

}  // namespace dorvane::test
