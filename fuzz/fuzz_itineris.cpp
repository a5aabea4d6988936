// Itineris reader on arbitrary bytes: as an XML file through both steps, and
// as an intermediate file handed straight to the converter.
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/itineris.h"
#include "fuzz_check.h"
#include "platform/sim/mem_filesystem.h"
#include "platform/sim/virtual_clock.h"
#include "text/paths.h"
#include "text/text.h"

using namespace dorvane;

namespace {
// Joined with the platform separator, as the converters join their paths.
const std::string kDir = "/in";
const std::string kInput = JoinPath(kDir, "R.xml");
}  // namespace

namespace {

constexpr std::string_view kEnd = "PRNT,:-------------------;\r\nSUBT;\r\n";

// Every command line ends in ";" CR LF; CR appears nowhere else.
void CheckCommands(const std::string& out) {
  FUZZ_CHECK(out.empty() || EndsWith(out, ";\r\n"));
  std::size_t lineStart = 0;
  for (std::size_t cr = out.find('\r'); cr != std::string::npos; cr = out.find('\r', lineStart)) {
    FUZZ_CHECK(cr + 1 < out.size() && out[cr + 1] == '\n');
    FUZZ_CHECK(cr > lineStart && out[cr - 1] == ';');
    lineStart = cr + 2;
  }
}

void CheckJob(const std::string& out) {
  CheckCommands(out);
  FUZZ_CHECK(EndsWith(out, kEnd));
  // A sale never goes out before the opening.
  if (out.find("PLUD,") != std::string::npos) FUZZ_CHECK(StartsWith(out, "OPER,C1;\r\n"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);

  // The splitter: every "</" starts a line, every ">" ends one.
  std::string split = SplitXmlTagsText(input);
  FUZZ_CHECK(EndsWith(split, "\r\n"));
  for (std::size_t at = split.find("</"); at != std::string::npos; at = split.find("</", at + 1))
    FUZZ_CHECK(at >= 2 && split.compare(at - 2, 2, "\r\n") == 0);
  for (std::size_t at = split.find('>'); at != std::string::npos; at = split.find('>', at + 1))
    FUZZ_CHECK(split.compare(at + 1, 2, "\r\n") == 0);

  std::string out;
  if (ConvertXmlToSLText(input, out).ok()) CheckJob(out);
  else CheckCommands(out);

  // Both steps through the files, as the hand-off runs them.
  MemFileSystem fs;
  VirtualClock clock;
  fs.AddDir(kDir);
  fs.Put(kInput, input);
  std::string job;
  bool ok = PrepareItinerisJob(fs, clock, kDir, kInput, job);
  FUZZ_CHECK(ok == !job.empty());
  if (size == 0) FUZZ_CHECK(!ok && !fs.Has(JoinPath(kDir, "xout1.tmp")));
  else FUZZ_CHECK(fs.Content(JoinPath(kDir, "xout1.tmp")) == split);
  std::string log = fs.Content(JoinPath(kDir, "ITINERIS_ERR.LOG"));
  if (ok) {
    CheckJob(fs.Content(job));
    FUZZ_CHECK(log.empty());
  } else if (size != 0) {
    // A failure after the split is always logged, and only once.
    FUZZ_CHECK(StartsWith(log, "260305_090000 -> 1: "));
    FUZZ_CHECK(log.find('\r') == log.size() - 2);
  }
  FUZZ_CHECK(fs.Content(kInput) == input);
  return 0;
}
