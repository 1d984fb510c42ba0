// Shared by the window tests: a runtime per test, and pumping window_wait_event to a
// bounded, scaled deadline while recording what each wait returned.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "runtime/window/window.h"
#include "runtime/window/window_object.h"
#include "tests/test_runtime.h"
#include "tests/test_time.h"

using waited = test_runtime::event_seen;

constexpr uint32_t SIZABLE = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;

class WindowTest : public test_runtime::RuntimeTest {
 protected:
  void SetUp() override;

  // Window number opened (invisible unless the flags say otherwise) and settled; its handle.
  HWND open(intptr_t number, const char* title, uint32_t flags = WINDOW_INVISIBLE, int32_t width = 200,
            int32_t height = 100, int32_t x = 0, int32_t y = 0);
  // One wait of window_wait_event: its return with the current event it left.
  waited next(int32_t ms);
  // Waits until the wanted code comes back or ms (scaled) have passed; everything returned is recorded.
  std::vector<waited> pump_until(int32_t wanted, int ms);
  // Waits until a marker posted to the window comes back with nothing else before it: the
  // messages posted to it before, and those they posted, are handled then (and recorded).
  std::vector<waited> handled(HWND window);
  // Waits (recording) until the condition holds.
  template <class Condition>
  std::vector<waited> pump_while_not(Condition condition, int ms = 3000) {
    std::vector<waited> seen;
    test_time::wait_until(condition, ms, [&] {
      for (const waited& w : pump_until(-1, 20)) seen.push_back(w);
    });
    return seen;
  }
  // Lets the messages posted so far arrive (a marker posted now comes back) and those the
  // window manager sends in answer, then drops them and every queued event.
  void settle();

  window_library_record* library = nullptr;
};

bool contains_code(const std::vector<waited>& list, int32_t code);

RECT window_rect(HWND window);
RECT client_rect(HWND window);
// A screen point as a client-coordinate lParam of the window.
LPARAM client_point(HWND window, int x, int y);
// A push button child with the given identifier.
HWND make_button(HWND parent, intptr_t id, int x, int y, DWORD extra_style = WS_TABSTOP);
