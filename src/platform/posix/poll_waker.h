#pragma once

#include "platform/waker.h"

namespace dorvane {

// A console loop's waker: an eventfd, polled together with the folder
// watcher's descriptor.
class PollWaker : public Waker {
 public:
  explicit PollWaker(int alsoFd = -1);
  ~PollWaker() override;
  PollWaker(const PollWaker&) = delete;
  PollWaker& operator=(const PollWaker&) = delete;

  void Wait(int ms) override;

 protected:
  void Notify() override;

 private:
  int fd_ = -1;
  int alsoFd_ = -1;
};

}  // namespace dorvane
