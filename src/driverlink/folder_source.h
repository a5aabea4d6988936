// The input folder as a source of inputs, with an index of what it holds:
// kept true by the folder watcher's changes, so that choosing the next input
// costs the same with ten receipts waiting or a hundred thousand. Where no
// watch serves the folder, every choice lists it again, as the watcher's
// absence leaves nothing else to trust.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "driverlink/driver_link.h"
#include "driverlink/folder_reach.h"
#include "driverlink/input_port.h"
#include "driverlink/input_selection.h"
#include "platform/folder_watcher.h"

namespace dorvane {

class FolderSource : public InputSource {
 public:
  // How often a watched folder is listed anyway, for what events may have
  // missed: a listing of names, a key read only for names not yet known.
  static constexpr std::int64_t kSafetyNetMs = 30000;
  static constexpr std::size_t kMaxChanges = 100000;

  FolderSource(DriverLink& link, InputSelection& selection, FolderReach& reach)
      : link_(link), selection_(selection), reach_(reach) {}

  std::optional<InputChoice> Oldest() override;
  bool Owns(const std::string& path) const override;
  void Took(const Job& job) override;
  void Settled(const Job& job) override;
  // What the watcher saw; watched: the input folder is watched from now on.
  void Changed(const std::vector<FolderChange>& changes, bool watched);

 private:
  enum class Kind { kIgnored, kReserved, kCandidate };
  struct Entry {
    Kind kind = Kind::kIgnored;
    std::string key;  // candidates only
    std::uint64_t seq = 0;
    std::uint64_t sweep = 0;  // the last safety-net listing that showed it
  };

  // Brings the index up to the changes the watcher reported.
  void Apply();
  // Forgets everything, then lists the folder and reads every key.
  void Relist();
  // Lists the names, reads the keys of the names not yet known and forgets
  // the names gone.
  void Sweep();
  bool List(std::vector<std::string>& names);
  // Learns (again) what the file is: a receipt's key is read anew. listed:
  // the folder's listing has just shown it as a normal file.
  void Learn(const std::string& name, bool listed);
  void Forget(const std::string& name);
  void Index(const std::string& name, Entry& e);
  void Unindex(const std::string& name, const Entry& e);
  Kind Classify(const std::string& name) const;
  std::string Filters() const;

  DriverLink& link_;
  InputSelection& selection_;
  FolderReach& reach_;
  std::string dir_;      // the folder indexed
  std::string filters_;  // the settings the names were classified by
  int year_ = 0;
  bool stale_ = true;    // the index must be made again from a listing
  bool watched_ = false;
  std::int64_t sweptMs_ = 0;
  std::uint64_t nextSeq_ = 0;
  std::uint64_t sweep_ = 0;
  int inYear_ = 0;  // candidates of this year
  std::vector<FolderChange> changes_;  // reported, not yet applied
  std::unordered_map<std::string, Entry> names_;
  std::set<std::tuple<std::string, std::uint64_t, std::string>> candidates_;  // key, seq, name
  std::set<std::pair<std::uint64_t, std::string>> reserved_;                   // seq, name
};

}  // namespace dorvane
