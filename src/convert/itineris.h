// Itineris XML receipts to Sarema Language, in two file-to-file steps:
// SplitXmlTags puts every tag and every text value on a line of its own
// (xout1.tmp), ConvertXmlToSL reads that file and writes the job (xout2.tmp).
// A character scanner, not an XML parser: no attributes, entities, comments
// or namespaces.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/status.h"
#include "text/text.h"

namespace dorvane {

inline constexpr std::string_view kItinerisSplitFile = "xout1.tmp";
inline constexpr std::string_view kItinerisJobFile = "xout2.tmp";
inline constexpr std::string_view kItinerisErrorLog = "ITINERIS_ERR.LOG";

// Inputs above this size are refused with a logged error: no receipt comes
// near it, and it bounds the memory one conversion may take.
inline constexpr std::size_t kMaxItinerisInputBytes = 16u * 1024 * 1024;
// The largest intermediate file SplitXmlTags can make of such an input
// (every character a ">" gains a CR LF, plus the final one).
inline constexpr std::size_t kMaxItinerisSplitBytes = 3 * kMaxItinerisInputBytes + 2;

// Where failures are recorded: ITINERIS_ERR.LOG in the input directory.
struct ItinerisErrorLog {
  FileSystem& fs;
  Clock& clock;
  std::string path;
};

// Appends "yymmdd_hhmmss -> " + message + CR LF to the log, creating it when
// missing. A log that cannot be written is ignored: logging never fails.
void LogItinerisError(const ItinerisErrorLog& log, const std::string& message);

// The receipt line being read. The reader state lives beside it in the
// converter and is not cleared with the fields.
struct ItinerisLine {
  std::string code, description, quantity, price, amount, vatCode, reason, discount1, discount2, discount3;
  bool isReturn = false;
};

// Empties the ten text fields and the return mark.
void ClearLineFields(ItinerisLine& line);

// Reads the line after a field tag and gives the element's value: upper case,
// blanks trimmed, "," turned into "."; empty when the element was empty (the
// line read is its closing tag). False when there is no line left to read.
bool ReadTagValue(LineReader& reader, std::string& value);

// The intermediate text made of the input bytes: line ends removed, CR LF
// before every "</" and after every ">", one CR LF at the end.
std::string SplitXmlTagsText(std::string_view input);

// The job made of an intermediate text: sold lines, then returned lines, then
// the closing separator and "SUBT;". On failure `output` holds what was made
// up to it and the status says why.
Status ConvertXmlToSLText(std::string_view intermediate, std::string& output);

// inputPath (XML) -> outputPath (intermediate, replaced). False without a log
// line when the input is missing or empty; false with a "2: " log line on any
// other failure, an input above kMaxItinerisInputBytes included.
bool SplitXmlTags(FileSystem& fs, const ItinerisErrorLog& log, const std::string& inputPath,
                  const std::string& outputPath);

// inputPath (intermediate) -> outputPath (job). The output is deleted first.
// False without a log line when the input is missing or empty; false with a
// "1: " log line on any other failure, leaving what was converted so far in
// outputPath.
bool ConvertXmlToSL(FileSystem& fs, const ItinerisErrorLog& log, const std::string& inputPath,
                    const std::string& outputPath);

// The hand-off's single call for the "ItinerisXml" layout: SplitXmlTags of
// `source` into inputDir/xout1.tmp, then ConvertXmlToSL into inputDir/xout2.tmp,
// failures logged to inputDir/ITINERIS_ERR.LOG. On true jobPath names
// xout2.tmp, which the caller copies over SR_DATI; on false the job has failed
// and jobPath is left empty. Both work files stay behind.
bool PrepareItinerisJob(FileSystem& fs, Clock& clock, const std::string& inputDir, const std::string& source,
                        std::string& jobPath);

}  // namespace dorvane
