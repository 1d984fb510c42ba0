#include "window_test_support.h"

#include <chrono>

#include "tests/test_time.h"

void WindowTest::SetUp() {
  RuntimeTest::SetUp();
  library = window_library();
  ASSERT_NE(nullptr, library);
  settle();
}

waited WindowTest::next(int32_t ms) {
  const int32_t code = window_wait_event(ms);
  return waited{code, library->current.object, library->current.window, library->current.type};
}

std::vector<waited> WindowTest::pump_until(int32_t wanted, int ms) {
  std::vector<waited> seen;
  test_time::wait_until([&] { return wanted && !seen.empty() && seen.back().code == wanted; }, ms,
                        [&] {
                          if (const waited w = next(50); w.code) seen.push_back(w);
                        });
  return seen;
}

HWND WindowTest::open(intptr_t number, const char* title, uint32_t flags, int32_t width, int32_t height, int32_t x,
                      int32_t y) {
  EXPECT_NE(0, window_open(number, x, y, width, height, title, flags)) << title << std::hex << ", flags 0x" << flags;
  settle();
  return window_handle(number);
}

std::vector<waited> WindowTest::handled(HWND window) {
  // Again while a round brings more than the marker: what the messages posted in turn.
  constexpr int32_t kMarker = WM_APP + 0x3A6;
  std::vector<waited> seen;
  for (size_t before = SIZE_MAX, round = 0; before != seen.size() && round < 20; ++round) {
    before = seen.size();
    PostMessageA(window, kMarker, 0, 0);
    for (const waited& w : pump_until(kMarker, 2000))
      if (w.code != kMarker) seen.push_back(w);
  }
  return seen;
}

void WindowTest::settle() {
  // A thread message of its own number comes back after every message posted before it.
  constexpr int32_t kMarker = WM_APP + 0x3A5;
  PostThreadMessageA(GetCurrentThreadId(), kMarker, 0, 0);
  pump_until(kMarker, 2000);
  // The window manager's answers come when it sends them: handled until a wait of 50 ms
  // has had nothing to do.
  test_time::wait_until(
      [] {
        const auto start = std::chrono::steady_clock::now();
        return window_wait_event(50) == 0 && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(45);
      },
      3000, [] {});
  test_runtime::take_queued();
}

bool contains_code(const std::vector<waited>& list, int32_t code) {
  for (const waited& w : list)
    if (w.code == code) return true;
  return false;
}

RECT window_rect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

RECT client_rect(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
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
