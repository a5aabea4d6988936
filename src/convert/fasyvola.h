// Fasy Vola fixed-column receipts to Sarema Language, the command language of
// the print jobs KORA1 runs on the fiscal printer.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"
#include "platform/status.h"

namespace dorvane {

// Where a conversion failure is shown (the window's message box, a tool's standard error).
using MessageSink = std::function<void(const std::string&)>;

// Name of the converted job in the input directory; each conversion rewrites it.
inline constexpr std::string_view kFasyVolaWorkFile = "FASYCONV.TXT";

// What a conversion made of one input text: the Sarema Language lines (CR LF
// after each) and every failure met on the way, in order. A failed record
// still leaves its line and the following ones in `output`.
struct FasyVolaText {
  std::string output;
  std::vector<Status> failures;
  bool ok() const { return failures.empty(); }
};

// The conversion itself, on bytes: no files, no messages.
FasyVolaText ConvertFasyVolaText(std::string_view input, bool invertDiscountsAfterReturn);

// Reads inputPath, writes the job to outputPath (replaced). Every failure is
// shown as "ERRORE: <description> - <number>" through show. Returns true only
// when the whole input converted without a failure; on false outputPath may be
// missing, partial or complete and must not be printed. Never deletes either
// file.
bool ConvertFasyVolaToSL(FileSystem& fs, const MessageSink& show, const std::string& inputPath, const std::string& outputPath,
                         bool invertDiscountsAfterReturn);

// The hand-off's single call for the "Fasy Vola" layout: converts `source`
// into inputDir/FASYCONV.TXT and, on true, sets jobPath to that file, which
// the caller copies over SR_DATI. On false the job has failed; jobPath is
// left empty and the reason has already been shown through show.
bool PrepareFasyVolaJob(FileSystem& fs, const MessageSink& show, const std::string& inputDir, const std::string& source,
                        bool invertDiscountsAfterReturn, std::string& jobPath);

}  // namespace dorvane
