#include "platform/filesystem.h"

#include "text/paths.h"
#include "text/text.h"

namespace dorvane {

namespace {
Status WriteThroughTemp(FileSystem& fs, const std::string& path, const std::string& temp, const std::string& bytes) {
  Status st = fs.WriteAll(temp, bytes);
  if (st) st = fs.Flush(temp);
  if (st) st = fs.Rename(temp, path);
  if (st) return fs.FlushFolder(DirName(path));
  if (fs.Exists(temp)) fs.Remove(temp);
  return st;
}
}  // namespace

Status WriteDurably(FileSystem& fs, const std::string& path, const std::string& bytes) {
  return WriteThroughTemp(fs, path, path + ".tmp", bytes);
}

Status PlaceDurably(FileSystem& fs, const std::string& path, const std::string& bytes) {
  return WriteThroughTemp(fs, path, path + kPlacingSuffix, bytes);
}

bool IsPlacingName(const std::string& name) { return EndsWith(UpperAnsi(name), UpperAnsi(kPlacingSuffix)); }

Status FileSystem::ReadTail(const std::string& path, std::size_t maxBytes, std::string& bytes, std::uint64_t& size) {
  Status st = ReadAll(path, bytes);
  size = bytes.size();
  if (st && bytes.size() > maxBytes) bytes.erase(0, bytes.size() - maxBytes);
  return st;
}

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
