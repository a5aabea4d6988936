// What the HTTP door's /v1/events tells: the job events a till or DORVANE's
// page cares about, as server-sent events. The last 1,000 of this run are
// kept; an event's id is "<run>.<number>", so an id from another run, or one
// older than those kept, asks the client to read the status again.
//
// The engine's thread adds, the door's thread reads: every call locks.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "driverlink/job_events.h"

namespace dorvane::web {

inline constexpr std::size_t kEventsKept = 1000;

class EventFeed : public JobEvents {
 public:
  // run: tells this run's ids from another's.
  explicit EventFeed(std::string run);

  // The events after lastId as server-sent-event text (empty when none);
  // lastId becomes the last one sent. An id that is not this run's, or is
  // older than those kept, gives one "reset" event.
  std::string Since(std::string& lastId);
  // The id of the newest event ("" before the first).
  std::string Newest();

  void Taken(const Job& job) override;
  void Settled(const Job& job) override;
  void PaperHeld(const std::string& input, const std::string& line) override;
  void PaperReleased(const std::string& input) override;
  void Kora1Lost(const std::string& reason) override;
  void Kora1Found() override;

 private:
  struct Event {
    std::uint64_t n;
    std::string text;  // "id: ...\nevent: ...\ndata: ...\n\n"
  };
  void Add(const std::string& type, const std::string& json);
  std::string Id(std::uint64_t n) const { return run_ + "." + std::to_string(n); }

  const std::string run_;
  std::mutex mutex_;
  std::deque<Event> events_;
  std::uint64_t next_ = 1;
  std::string inFlightKey_;  // the request key of the job in flight
};

}  // namespace dorvane::web
