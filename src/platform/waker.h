// The one waker of a front end's loop: the folder watcher, the timer, the
// window and any other thread (the HTTP door's) make the loop run its pump
// at once instead of at its next poll.
#pragma once

#include <atomic>
#include <functional>
#include <utility>

namespace dorvane {

class Waker {
 public:
  virtual ~Waker() = default;
  // Any thread: something for the engine has come.
  void Wake() {
    woken_.store(true);
    Notify();
  }
  // The loop's thread: a Wake() came since the last call.
  bool TakeWoken() { return woken_.exchange(false); }
  // Blocks for up to ms, returning early when woken. Loops that wait in
  // their toolkit's own event loop never call it.
  virtual void Wait(int /*ms*/) {}

 protected:
  virtual void Notify() = 0;

 private:
  std::atomic<bool> woken_{false};
};

// Wakes a toolkit's event loop by a function that posts an event to it.
class PostingWaker : public Waker {
 public:
  explicit PostingWaker(std::function<void()> post) : post_(std::move(post)) {}

 protected:
  void Notify() override { post_(); }

 private:
  std::function<void()> post_;
};

}  // namespace dorvane
