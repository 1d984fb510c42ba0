// The finished program over a few throws, driven from outside: it keeps answering, every
// press is a throw, its windows stay as they were, and the statistics count the throws. A throw's own calls, many times
// over, are the program-objects test's (tests/app/shutdown_test.cpp), where a leak of a few bytes a throw shows.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/app/e2e/e2e_driver.h"

using namespace e2e;

namespace {

int die_picture(app& a) { return a.image_gadget() ? shown_picture(grab(a.image_gadget())) : -1; }

// Presses "START" and waits for the throw to end: the die leaves the picture it showed
// (within the first two faces of the run), and the program, which takes no message while
// it throws, answers one again.
bool throw_die(app& a) {
  const int before = die_picture(a);
  click(a.button("START"));
  if (!test_time::wait_until([&] { return die_picture(a) != before; }, 3000, 5)) return false;
  DWORD_PTR answer = 0;
  return SendMessageTimeoutA(a.window, WM_NULL, 0, 0, SMTO_NORMAL, test_time::scaled_ms(5000), &answer) != 0;
}

TEST(app_soak, throws_leave_the_windows_as_they_were) {
  app a;
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(test_time::wait_until([&] { return die_picture(a) == 0; }, 10000));
  const long windows = a.window_count();
  const int throws = 6;
  for (int i = 1; i <= throws; ++i) ASSERT_TRUE(throw_die(a)) << "throw " << i;
  EXPECT_EQ(windows, a.window_count()) << "windows of the program after " << throws << " throws";
  int face = -1;
  EXPECT_TRUE(test_time::wait_until([&] { return (face = die_picture(a)) >= 1 && face <= 6; }, 2000))
      << "the die shows picture " << face;

  // Every press was a complete throw.
  SetForegroundWindow(a.window);
  ASSERT_TRUE(test_time::wait_until([&] { return GetForegroundWindow() == a.window; }, 2000));
  press_keys({VK_MENU, VK_F4});
  HWND box = nullptr;
  char text[4096] = {};
  ASSERT_TRUE(test_time::wait_until(
      [&] {
        box = a.requester();
        return box && GetForegroundWindow() == box && GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof text) > 0;
      },
      5000));
  int counted = -1;
  std::sscanf(text, "Es wurde %dmal", &counted);
  EXPECT_EQ(throws, counted) << text;
  // NOTE: under load Wine can drop a click that comes right after the requester takes the
  // foreground; the key goes to its focus, the default button, whenever it looks.
  press_keys({VK_RETURN});
  EXPECT_EQ(0, a.wait_exit(10000));
}

}  // namespace
