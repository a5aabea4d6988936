#include "platform/posix/poll_waker.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace dorvane {

PollWaker::PollWaker(int alsoFd) : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), alsoFd_(alsoFd) {}

PollWaker::~PollWaker() {
  if (fd_ >= 0) ::close(fd_);
}

void PollWaker::Notify() {
  const std::uint64_t one = 1;
  if (fd_ >= 0) (void)!::write(fd_, &one, sizeof one);
}

void PollWaker::Wait(int ms) {
  struct pollfd p[2] = {{fd_, POLLIN, 0}, {alsoFd_, POLLIN, 0}};
  ::poll(p, 2, ms < 0 ? 0 : ms);  // a signal ends the wait early, as it should
  std::uint64_t count = 0;
  if (p[0].revents & POLLIN) (void)!::read(fd_, &count, sizeof count);
}

}  // namespace dorvane
