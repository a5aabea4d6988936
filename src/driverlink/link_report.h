// Symbolic links in the input folder are told once each: a link is told when
// first seen and again only if it goes and comes back.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/filesystem.h"
#include "text/paths.h"

namespace dorvane {

class LinkReport {
 public:
  // The links in dir now whose names match filter and have not been told yet.
  std::vector<std::string> NotYetTold(const std::vector<std::string>& links, const std::string& filter) {
    std::set<std::string> seen;
    for (const std::string& name : links)
      if (MatchesPattern(name, filter)) seen.insert(name);
    std::vector<std::string> fresh;
    for (const std::string& name : seen)
      if (!told_.count(name)) fresh.push_back(name);
    std::set<std::string> kept;
    for (const std::string& name : told_)
      if (seen.count(name)) kept.insert(name);
    told_ = kept;
    return fresh;
  }
  void Told(const std::string& name) { told_.insert(name); }
  bool WasTold(const std::string& name) const { return told_.count(name) != 0; }
  void Forget(const std::string& name) { told_.erase(name); }

 private:
  std::set<std::string> told_;
};

}  // namespace dorvane
