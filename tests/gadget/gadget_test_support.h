// What the gadget tests share: a runtime with window 0 open, bounded message pumping, and
// the queued events taken back as records.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/runtime.h"
#include "runtime/gadget/gadget.h"
#include "runtime/window/events.h"
#include "runtime/window/window.h"
#include "tests/test_time.h"

namespace gadget_tests {

struct queued {
  int32_t code;
  intptr_t object;
  intptr_t window;
  int32_t type;
};

inline bool operator==(const queued& a, const queued& b) {
  return a.code == b.code && a.object == b.object && a.window == b.window && a.type == b.type;
}

inline std::ostream& operator<<(std::ostream& out, const queued& e) {
  return out << "{code " << e.code << ", object " << e.object << ", window " << e.window << ", type " << e.type << "}";
}

// Takes every queued event, oldest first.
inline std::vector<queued> take_all() {
  std::vector<queued> events;
  while (int32_t code = event_queue_take()) {
    const event_record& r = window_library()->working;
    events.push_back(queued{code, r.object, r.window, r.type});
  }
  return events;
}

// Takes every queued event and keeps the gadget events: repaints and moves of the window
// come and go with the platform's timing.
inline std::vector<queued> take_gadget_events() {
  std::vector<queued> events;
  for (const queued& e : take_all())
    if (e.code == EVENT_GADGET) events.push_back(e);
  return events;
}

// Dispatches the thread's messages for at most ms milliseconds (scaled by the run's time factor).
inline void pump(DWORD ms) {
  const DWORD deadline = GetTickCount() + test_time::scaled_ms(ms);
  MSG message;
  while (static_cast<int32_t>(deadline - GetTickCount()) > 0) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(5);
  }
}

// The runtime started with window 0 open and current as the gadget list.
class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime_start();
    const intptr_t opened = window_open(0, 20, 20, 420, 360, "Gadgets", 0);
    ASSERT_NE(0, opened);
    window = window_handle(0);
    ASSERT_NE(nullptr, window);
    pump(50);
    take_all();
  }
  void TearDown() override { runtime_end_libraries(); }

  HWND window = nullptr;
};

}  // namespace gadget_tests
