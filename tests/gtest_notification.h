// GoogleTest's Notification, made of a Windows event. GoogleTest builds its
// own from std::mutex and std::condition_variable, which the C++ library of
// MinGW's win32 thread model (GCC 12) lacks; everything else of GoogleTest's
// thread support is Windows' own there. Put ahead of every source that sees
// GoogleTest, with GTEST_HAS_NOTIFICATION_ set (tests/CMakeLists.txt).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace testing::internal {

// Lets threads that a test starts wait until the test lets them go.
class Notification {
 public:
  Notification() noexcept : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() {
    if (event_ != nullptr) ::CloseHandle(event_);
  }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() noexcept { ::SetEvent(event_); }
  void WaitForNotification() noexcept { ::WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace testing::internal
