#include "driverlink/folder_source.h"

#include "text/paths.h"

namespace dorvane {

std::optional<InputChoice> FolderSource::Oldest() {
  const std::string name = selection_.FindNewestFile(link_.set.inputDir);
  if (name.empty()) return std::nullopt;
  return InputChoice{JoinPath(link_.set.inputDir, name), link_.key};
}

bool FolderSource::Owns(const std::string& path) const { return DirName(path) == link_.set.inputDir; }

}  // namespace dorvane
