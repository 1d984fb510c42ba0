// Shared by the window tests: a runtime per test, and pumping window_wait_event to a
// bounded deadline while recording what each wait returned.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "runtime/core/runtime.h"
#include "runtime/window/events.h"
#include "runtime/window/window.h"
#include "runtime/window/window_object.h"

struct waited {
  int32_t code;
  intptr_t object;
  intptr_t window;
  int32_t type;
};

std::ostream& operator<<(std::ostream& out, const waited& w);
std::ostream& operator<<(std::ostream& out, const std::vector<waited>& list);

class WindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Waits until ms (scaled by the run's time factor) have passed, recording every non-zero return.
  std::vector<waited> pump(int ms);
  // Waits until the wanted code comes back or ms (scaled) have passed; everything returned is recorded.
  std::vector<waited> pump_until(int32_t wanted, int ms);
  // Lets the messages that are under way arrive, then drops them and every queued event.
  void settle();

  window_library_record* library = nullptr;
};

// Codes of the list, in order, that are one of the given codes.
std::vector<int32_t> codes_among(const std::vector<waited>& list, std::initializer_list<int32_t> wanted);
bool contains_code(const std::vector<waited>& list, int32_t code);

// A screen point as a client-coordinate lParam of the window.
LPARAM client_point(HWND window, int x, int y);
// A push button child with the given identifier.
HWND make_button(HWND parent, intptr_t id, int x, int y, DWORD extra_style = WS_TABSTOP);
