#pragma once

#include "platform/waker.h"

namespace dorvane {

// A console loop's waker on Windows: an event object. Folder changes are
// polled at most 25 ms apart.
class EventWaker : public Waker {
 public:
  EventWaker();
  ~EventWaker() override;
  EventWaker(const EventWaker&) = delete;
  EventWaker& operator=(const EventWaker&) = delete;

  void Wait(int ms) override;

 protected:
  void Notify() override;

 private:
  void* event_ = nullptr;
};

}  // namespace dorvane
