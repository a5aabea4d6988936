// Fasy Vola converter on arbitrary bytes, both with and without the discount
// inversion, on its own and through the files as the hand-off runs it.
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/fasyvola.h"
#include "fuzz_check.h"
#include "fuzz_ui.h"
#include "platform/sim/mem_filesystem.h"
#include "text/paths.h"
#include "text/text.h"

using namespace dorvane;

namespace {
// Joined with the platform separator, as the converters join their paths.
const std::string kDir = "/in";
const std::string kInput = JoinPath(kDir, "R.001");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  for (bool invert : {false, true}) {
    FasyVolaText r = ConvertFasyVolaText(input, invert);
    // One command per line: each ends in ";" and CR LF, and no CR is left inside.
    FUZZ_CHECK(r.output.empty() || EndsWith(r.output, ";\r\n"));
    std::size_t lineStart = 0;
    for (std::size_t cr = r.output.find('\r'); cr != std::string::npos; cr = r.output.find('\r', lineStart)) {
      FUZZ_CHECK(cr + 1 < r.output.size() && r.output[cr + 1] == '\n');
      FUZZ_CHECK(cr > lineStart && r.output[cr - 1] == ';');
      lineStart = cr + 2;
    }
    for (const Status& failure : r.failures) FUZZ_CHECK(!failure.ok() && !failure.description.empty());

    MemFileSystem fs;
    fs.AddDir(kDir);
    fs.Put(kInput, input);
    fuzz::CountingUi ui;
    std::string job;
    bool ok = PrepareFasyVolaJob(fs, [&](const std::string& m) { ui.ShowMessage(m); }, kDir, kInput, invert, job);
    FUZZ_CHECK(ok == r.ok());
    FUZZ_CHECK(ok == !job.empty());
    FUZZ_CHECK(fs.Content(JoinPath(kDir, "FASYCONV.TXT")) == r.output);
    FUZZ_CHECK(fs.Content(kInput) == input);
    FUZZ_CHECK(ui.messages == static_cast<int>(r.failures.size()));
  }
  return 0;
}
