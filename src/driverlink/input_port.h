// Where the engine's inputs come from: sources behind one port. The input
// folder is one source; the HTTP door's spool is to be another. The engine
// asks the port for the oldest input of all and tells it, through the job
// events, what was taken and how it was settled; each source hears about
// its own inputs only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "driverlink/job_events.h"

namespace dorvane {

struct InputChoice {
  std::string path;  // full path of the input
  std::string key;   // its selection key, "YYYYMMDD_HHMMSS": the older the smaller
  // An input that brings its own layout (the HTTP door's) is converted by
  // it; the others follow the window's choice.
  std::optional<InputLayout> layout;
  std::string requestKey;  // the caller's key of an input that came by the HTTP door
};

class InputSource {
 public:
  virtual ~InputSource() = default;
  // The oldest input this source offers now, if any.
  virtual std::optional<InputChoice> Oldest() = 0;
  // The input is one of this source's (also one offered in an earlier run).
  virtual bool Owns(const std::string& path) const = 0;
  virtual void Took(const Job& /*job*/) {}
  virtual void Settled(const Job& /*job*/) {}
};

class InputPort : public JobEvents {
 public:
  void Add(InputSource* source) { sources_.push_back(source); }
  // The oldest input of all sources; on equal keys, the source added first.
  std::optional<InputChoice> Next();

  void Taken(const Job& job) override;
  void Settled(const Job& job) override;

 private:
  InputSource* OwnerOf(const std::string& path) const;

  std::vector<InputSource*> sources_;
};

}  // namespace dorvane
