#include "platform/win32/event_waker.h"

#include <windows.h>

namespace dorvane {

EventWaker::EventWaker() : event_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

EventWaker::~EventWaker() {
  if (event_) ::CloseHandle(event_);
}

void EventWaker::Notify() {
  if (event_) ::SetEvent(event_);
}

void EventWaker::Wait(int ms) {
  const DWORD wait = static_cast<DWORD>(ms < 0 ? 0 : ms > 25 ? 25 : ms);
  if (event_) {
    ::WaitForSingleObject(event_, wait);
  } else {
    ::Sleep(wait);
  }
}

}  // namespace dorvane
