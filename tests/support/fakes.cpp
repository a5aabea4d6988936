#include "support/fakes.h"

#include "text/paths.h"
#include "text/text.h"

namespace dorvane::test {

Harness::Harness() {
  root = kPathSep == '\\' ? "C:\\T" : "/t";
  appDir = Path("app");
  commonDir = Path("data");
  kora1Dir = JoinPath(commonDir, "ZTKKORA1");
  for (const std::string& dir : {root, appDir, commonDir, kora1Dir, JoinPath(commonDir, "ZTKDORVANE")}) mem.AddDir(dir);
  system.ownDir = appDir;
  system.commonAppData = commonDir;
  processes.clock = &clock;
  Restart();
}

void Harness::Restart() {
  observers.reset();
  d = std::make_unique<Dispatcher>(fs, clock, processes, system, ui);
  d->AddObserver(&checker);
  observers = std::make_unique<JobObservers>(*d, fs, clock, system, ui);
  ui.dispatcher = d.get();
}

std::string Harness::Path(const std::string& relative) const {
  std::string p = root;
  p += kPathSep;
  for (char c : relative) p += c == '/' ? kPathSep : c;
  return p;
}

void Harness::PutConfig(const std::vector<std::string>& lines, const std::string& dir) {
  mem.Put(JoinPath(dir, "DORVCONF.txt"), JoinLines(lines));
}

std::vector<std::string> ShopConfig(const Harness& h) {
  return {"1", "*.001", "  ", h.kora1Dir, h.kora1Dir, h.kora1Dir, ".OUT", " 0 ", " 1 ",
          ".ERR", "2", "0", " 0 ", " ", "  ", " 0 ", " 0 ", " 0 "};
}

std::string Harness::LogPath() const { return JoinPath(kora1Dir, "DORVLOG.txt"); }

void Harness::RunFor(std::int64_t ms) {
  const std::int64_t end = clock.MonotonicMs() + ms;
  while (clock.MonotonicMs() < end && !d->Ended()) {
    clock.AdvanceTo(clock.MonotonicMs() + 10);
    observers->Poll();
    ui.ProcessEvents();
  }
}

}  // namespace dorvane::test
