#include "driverlink/folder_reach.h"

namespace dorvane {

void FolderReach::Tell(Role role, const std::string& dir, const Status& reached) {
  std::string& down = down_[static_cast<int>(role)];
  // A folder no longer in the settings ends its episode.
  if (!down.empty() && (down != dir || reached.ok())) {
    link_.host.LogEvent(kOk, "CARTELLA DI NUOVO ACCESSIBILE: " + down);
    link_.events.FolderBack(down);
    down.clear();
  }
  if (reached.ok() || !down.empty() || dir.empty()) return;
  down = dir;
  link_.host.LogEvent(kErr, "CARTELLA NON ACCESSIBILE: " + dir + " " + reached.Message());
  link_.events.FolderUnreachable(dir, reached.Message());
}

void FolderReach::CheckOutputAndError() {
  for (const auto& [role, dir] : {std::pair{Role::kOutput, &link_.set.outputDir}, {Role::kError, &link_.set.errorDir}}) {
    if (dir->empty()) continue;
    Tell(role, *dir, link_.fs.IsDirectory(*dir) ? Status::Ok() : Status::Of(kErrPathNotFound));
  }
}

}  // namespace dorvane
