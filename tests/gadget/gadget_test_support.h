// What the gadget tests share: a runtime with window 0 open and the queued gadget events.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "runtime/gadget/gadget.h"
#include "runtime/window/window.h"
#include "tests/test_runtime.h"
#include "tests/test_time.h"

namespace gadget_tests {

using queued = test_runtime::event_seen;
using test_runtime::take_queued;

// Takes every queued event and keeps the gadget events: repaints and moves of the window
// come and go with the platform's timing.
inline std::vector<queued> take_gadget_events() {
  std::vector<queued> events;
  for (const queued& e : take_queued())
    if (e.code == EVENT_GADGET) events.push_back(e);
  return events;
}

// The control of the gadget of that number, if there is one.
inline HWND control_of(intptr_t number) {
  gadget_record* record = gadget_lookup(number);
  return record ? record->window : nullptr;
}

// The runtime started with window 0 open and current as the gadget list.
class WindowFixture : public test_runtime::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    ASSERT_NE(0, window_open(0, 20, 20, 420, 360, "Gadgets", 0));
    window = window_handle(0);
    ASSERT_NE(nullptr, window);
    test_time::pump_messages(0);
    take_queued();
  }

  // Where the control lies in the window's client area.
  RECT placed(HWND control) const {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  HWND window = nullptr;
};

}  // namespace gadget_tests
