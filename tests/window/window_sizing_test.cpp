#include "runtime/window/sizing_rules.h"
#include "window_test_support.h"

namespace {

// Full-window dragging on or off for one test; the setting it had comes back afterwards.
class WindowSizing : public WindowTest {
 protected:
  void SetUp() override {
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &saved_setting, 0);
    WindowTest::SetUp();
  }
  void TearDown() override {
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, saved_setting, nullptr, 0);
    WindowTest::TearDown();
  }
  void full_window_dragging(bool on) {
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, on, nullptr, 0)) << GetLastError();
    BOOL now = !on;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &now, 0);
    ASSERT_EQ(on, now != 0);
  }
  sizing_record& sizing() { return *library->sizing; }

  // The pointer goes to the screen point and the window hears of it, as a drag would do.
  void move_pointer(HWND window, int x, int y) {
    SetCursorPos(x, y);
    PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, client_point(window, x, y));
    handled(window);
  }
  void keys(HWND window, std::initializer_list<WPARAM> pressed) {
    for (WPARAM vk : pressed) {
      PostMessageA(window, WM_KEYDOWN, vk, 1);
      handled(window);
    }
  }

  BOOL saved_setting = TRUE;
};

TEST_F(WindowSizing, DraggingTheLeftBorderStopsAtTheMinimumWidth) {
  full_window_dragging(true);
  HWND window = open(0, "drag", SIZABLE, 300, 200, 200, 150);
  window_lookup(0)->min_width = 200;
  SetActiveWindow(window);
  settle();
  const RECT start = window_rect(window);
  PostMessageA(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_LEFT, MAKELPARAM(start.left, start.top + 50));
  std::vector<waited> seen = handled(window);
  ASSERT_EQ(1, sizing().active) << "the runtime sizes the window itself";
  EXPECT_EQ(WMSZ_LEFT, sizing().edge);
  EXPECT_EQ(window, GetCapture());
  EXPECT_TRUE(contains_code(seen, WM_ENTERSIZEMOVE)) << seen;
  EXPECT_EQ(200, sizing().limits.ptMinTrackSize.x) << "the window's own limit";

  move_pointer(window, start.left - 40, start.top + 50);
  EXPECT_EQ((RECT{start.left - 40, start.top, start.right, start.bottom}), window_rect(window))
      << "the left edge follows the pointer";
  move_pointer(window, start.right - 20, start.top + 50);
  const RECT narrowest{start.right - 200, start.top, start.right, start.bottom};
  EXPECT_EQ(narrowest, window_rect(window)) << "stopped at right - minimum width";

  PostMessageA(window, WM_LBUTTONUP, 0, client_point(window, start.right - 20, start.top + 50));
  seen = handled(window);
  EXPECT_EQ(0, sizing().active);
  EXPECT_NE(window, GetCapture());
  EXPECT_TRUE(contains_code(seen, WM_EXITSIZEMOVE)) << seen;
  EXPECT_EQ(narrowest, window_rect(window)) << "the button-up keeps the size";
}

TEST_F(WindowSizing, ArrowKeysFromTheSystemMenuSizeTheBottomRightCornerAndEscapeKeepsIt) {
  full_window_dragging(true);
  HWND window = open(0, "keys", SIZABLE, 300, 200, 150, 100);
  SetActiveWindow(window);
  SetFocus(window);
  SetCursorPos(5, 5);
  settle();
  const RECT start = window_rect(window);

  PostMessageA(window, WM_SYSCOMMAND, SC_SIZE, 0);
  handled(window);
  ASSERT_EQ(1, sizing().active);
  EXPECT_EQ(SIZING_EDGE_NONE, sizing().edge) << "from the system menu no edge is chosen yet";
  EXPECT_EQ(1, sizing().restore_cursor);

  keys(window, {VK_DOWN});
  EXPECT_EQ(SIZING_EDGE_BOTTOM, sizing().edge);
  keys(window, {VK_RIGHT});
  EXPECT_EQ(SIZING_EDGE_BOTTOM_RIGHT, sizing().edge) << "Down then Right: the bottom-right corner";
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(start.right - 2, cursor.x) << "two pixels inside the corner";
  EXPECT_EQ(start.bottom - 2, cursor.y) << "two pixels inside the corner";
  EXPECT_EQ(start, window_rect(window)) << "choosing the corner does not size";

  keys(window, {VK_RIGHT, VK_RIGHT, VK_DOWN});
  const RECT reached{start.left, start.top, start.right + 20, start.bottom + 10};
  EXPECT_EQ(reached, window_rect(window)) << "10 pixels per key";
  keys(window, {VK_ESCAPE});
  EXPECT_EQ(0, sizing().active);
  EXPECT_EQ(reached, window_rect(window)) << "Escape keeps the size that was reached";
}

// The default processing announces each system command to the thread's CBT hook before
// it acts on it; answering non-zero stops it there, so no sizing loop of the platform (or
// of a window manager it hands the sizing to) is left running.
int size_commands_at_default;
LRESULT CALLBACK count_system_sizing(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_SYSCOMMAND && (wparam & 0xFFF0) == SC_SIZE) {
    ++size_commands_at_default;
    return 1;
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

TEST_F(WindowSizing, WithFullWindowDraggingOffSizeGoesToTheDefaultProcessingAndNothingElseStartsASizing) {
  HWND window = open(0, "off", SIZABLE, 300, 200, 150, 100);
  SetActiveWindow(window);
  settle();
  HHOOK hook = SetWindowsHookExA(WH_CBT, count_system_sizing, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, hook);

  const struct {
    bool full_window_dragging;
    WPARAM command;
    int at_default;
    int32_t active;
  } rows[] = {
      {false, SC_SIZE, 1, 0},
      {false, SC_SIZE | WMSZ_BOTTOMRIGHT, 1, 0},
      {true, SC_SIZE | WMSZ_BOTTOMRIGHT, 0, 1},
  };
  for (const auto& r : rows) {
    full_window_dragging(r.full_window_dragging);
    size_commands_at_default = 0;
    PostMessageA(window, WM_SYSCOMMAND, r.command, 0);
    handled(window);
    EXPECT_EQ(r.at_default, size_commands_at_default)
        << "dragging " << r.full_window_dragging << std::hex << ", command 0x" << r.command;
    EXPECT_EQ(r.active, sizing().active) << "dragging " << r.full_window_dragging;
    if (sizing().active) {
      keys(window, {VK_RETURN});
      EXPECT_EQ(0, sizing().active) << "Enter ends the sizing";
    }
  }
  UnhookWindowsHookEx(hook);
  // With full-window dragging on (the last row's), only the size command starts a sizing.
  EXPECT_EQ(NOT_HANDLED, window_sizing(window, WM_MOUSEMOVE, 0, 0));
  EXPECT_EQ(NOT_HANDLED, window_sizing(window, WM_KEYDOWN, VK_LEFT, 0));
  EXPECT_EQ(NOT_HANDLED, window_sizing(window, WM_SYSCOMMAND, SC_MOVE | 2, 0));
  EXPECT_EQ(NOT_HANDLED, window_sizing(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0));
  EXPECT_EQ(0, sizing().active);
}

}  // namespace
