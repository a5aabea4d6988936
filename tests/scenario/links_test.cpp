// Symbolic links in the input folder are never read, whatever they point at
// and whenever they appear: each is told once, stays where it is, and the
// receipts after it go on.
#include "scenario/scenario.h"

namespace dorvane::test {
namespace {

TEST_F(Shop, LinksAreNeverReadAndAreToldOnce) {
  kora1.Start();
  Open();
  h.mem.PutLink(In("L.001"));
  Drop("R1.001", Receipt(1));
  h.mem.SetHeld(In("R1.001"), true);
  // While the hand-off waits for the writer, the receipt becomes a link.
  h.ui.onPump = [&] {
    if (!h.d->InTick() || !h.mem.Has(In("R1.001"))) return;
    h.mem.Erase(In("R1.001"));
    h.mem.PutLink(In("R1.001"));
  };
  h.RunFor(8000);
  h.ui.onPump = nullptr;
  Drop("R2.001", Receipt(2));
  h.RunFor(10000);
  EXPECT_EQ(kora1.taken, std::vector<std::string>{Receipt(2)});
  for (const char* link : {"L.001", "R1.001"}) {
    int told = 0;
    for (const std::string& e : LogEvents()) told += e.find("NON PERMESSO, NON LETTO: " + std::string(link)) != std::string::npos;
    EXPECT_EQ(told, 1) << link;
  }
  EXPECT_EQ(h.mem.FilesIn(err), std::vector<std::string>{});
  EXPECT_EQ(h.mem.FilesIn(out), std::vector<std::string>{"R2.001.OUT"});
}

}  // namespace
}  // namespace dorvane::test
