#include "window_test_support.h"

#include <chrono>

#include "tests/test_time.h"

namespace {
using clock_type = std::chrono::steady_clock;
}

std::ostream& operator<<(std::ostream& out, const waited& w) {
  return out << "{" << w.code << ", object " << w.object << ", window " << w.window << ", type " << w.type << "}";
}

std::ostream& operator<<(std::ostream& out, const std::vector<waited>& list) {
  out << "[";
  for (const waited& w : list) out << " " << w;
  return out << " ]";
}

void WindowTest::SetUp() {
  runtime_start();
  library = window_library();
  ASSERT_NE(nullptr, library);
  settle();
}

void WindowTest::TearDown() { runtime_end_libraries(); }

std::vector<waited> WindowTest::pump_until(int32_t wanted, int ms) {
  std::vector<waited> seen;
  auto deadline = clock_type::now() + std::chrono::milliseconds(test_time::scaled_ms(ms));
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now()).count();
    if (left <= 0) break;
    int32_t code = window_wait_event(static_cast<int32_t>(left < 50 ? left : 50));
    if (!code) continue;
    const event_record& current = library->current;
    seen.push_back(waited{code, current.object, current.window, current.type});
    if (code == wanted) break;
  }
  return seen;
}

std::vector<waited> WindowTest::pump(int ms) { return pump_until(0, ms); }

void WindowTest::settle() {
  pump(150);
  while (event_queue_take()) {
  }
}

std::vector<int32_t> codes_among(const std::vector<waited>& list, std::initializer_list<int32_t> wanted) {
  std::vector<int32_t> codes;
  for (const waited& w : list)
    for (int32_t c : wanted)
      if (w.code == c) codes.push_back(c);
  return codes;
}

bool contains_code(const std::vector<waited>& list, int32_t code) {
  for (const waited& w : list)
    if (w.code == code) return true;
  return false;
}

LPARAM client_point(HWND window, int x, int y) {
  POINT point{x, y};
  ScreenToClient(window, &point);
  return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(point.x)), static_cast<WORD>(static_cast<int16_t>(point.y)));
}

HWND make_button(HWND parent, intptr_t id, int x, int y, DWORD extra_style) {
  HWND button = CreateWindowExA(0, "Button", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | extra_style, x, y, 80, 24,
                                parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (button) SetWindowLongPtrA(button, GWLP_ID, id);
  return button;
}
