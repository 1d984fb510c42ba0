// Deadlines of tests that wait on the platform. Each is written for 64-bit Wine and scaled
// by the run's time factor: NOTE: 32-bit Wine runs emulated here (qemu-i386), about ten
// times slower, and its runner (tests/wine/wine-run.in) sets TESSARIX_TIME_FACTOR. Unset,
// the factor is 1, so no run but the slow one waits longer.
#pragma once

#include <chrono>
#include <cstdlib>
#include <thread>

#ifdef _WIN32
#  include <windows.h>
#endif

namespace test_time {

// The run's time factor: a whole number from 1 to 100; anything else counts as 1.
inline int factor() {
  static const int value = [] {
    const char* text = std::getenv("TESSARIX_TIME_FACTOR");
    if (!text) return 1;
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && parsed >= 1 && parsed <= 100 ? static_cast<int>(parsed) : 1;
  }();
  return value;
}

// A wait of ms milliseconds on 64-bit Wine, as long as this run needs.
inline int scaled_ms(int ms) { return ms * factor(); }

// Looks at condition() until it holds or deadline_ms (scaled) have passed; between looks it
// calls pump(), which waits a little itself (pump_messages below). Whether the condition held.
template <class Condition, class Pump>
bool wait_until(Condition condition, int deadline_ms, Pump pump) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaled_ms(deadline_ms));
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    pump();
  }
}

// The same for a condition that changes without this thread's help: sleeps step_ms between looks.
template <class Condition>
bool wait_until(Condition condition, int deadline_ms, int step_ms = 10) {
  return wait_until(condition, deadline_ms,
                    [step_ms] { std::this_thread::sleep_for(std::chrono::milliseconds(step_ms)); });
}

#ifdef _WIN32
// Dispatches every message of this thread's queue, waiting up to wait_ms for the first.
inline void pump_messages(DWORD wait_ms = 10) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, wait_ms, QS_ALLINPUT);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
#endif

}  // namespace test_time
