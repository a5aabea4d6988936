// Symbolic links in the input folder are told once each: a link is told when
// first seen and again only if it goes and comes back.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace dorvane {

class LinkReport {
 public:
  // The links in the folder now; returns those not told yet.
  std::vector<std::string> NotYetTold(const std::vector<std::string>& links) {
    std::set<std::string> seen(links.begin(), links.end());
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

 private:
  std::set<std::string> told_;
};

}  // namespace dorvane
