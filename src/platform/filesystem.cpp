#include "platform/filesystem.h"

#include "text/text.h"

namespace dorvane {

Status ReadLines(FileSystem& fs, const std::string& path, std::vector<std::string>& lines) {
  std::string bytes;
  Status st = fs.ReadAll(path, bytes);
  if (st) lines = SplitLines(bytes);
  return st;
}

Status ReadFirstLine(FileSystem& fs, const std::string& path, std::string& line) {
  std::string bytes;
  Status st = fs.ReadAll(path, bytes);
  if (!st) return st;
  line.clear();
  LineReader(bytes).ReadLine(line);
  return st;
}

}  // namespace dorvane
