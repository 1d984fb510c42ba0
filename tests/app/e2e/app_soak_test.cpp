// The finished program over a long run, driven from outside: 300 throws must not make it
// grow; and the figures of its start-up time and idle cost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/app/e2e/e2e_driver.h"

using namespace e2e;

namespace {

bool painted(app& a) { return a.image_gadget() && shown_picture(grab(a.image_gadget())) == 0; }

double seconds_since(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
}

uint64_t cpu_100ns(HANDLE process) {
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return 0;
  auto v = [](FILETIME t) { return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime; };
  return v(kernel) + v(user);
}

void end_with_ende(app& a) {
  click(a.button("ENDE"));
  EXPECT_EQ(0, a.wait_exit(10000));
}

void print_usage(const char* when, const app::usage& u) {
  std::printf(
      "%s: private %llu KiB, working set %llu KiB; handles %lu, GDI %lu, USER %lu (as the platform reports them); "
      "GDI handle table %ld, windows %ld\n",
      when, static_cast<unsigned long long>(u.private_bytes / 1024),
      static_cast<unsigned long long>(u.working_set / 1024), u.handles, u.gdi, u.user, u.gdi_table, u.windows);
}

}  // namespace

TEST(app_figures, start_up_time_and_idle_cpu) {
  std::vector<double> start_up;
  for (int run = 0; run < 5; ++run) {
    app a;
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(wait_for([&] { return painted(a); }, 10000, 5)) << "run " << run;
    start_up.push_back(seconds_since(a.started) * 1000);
    Sleep(300);
    end_with_ende(a);
  }
  std::vector<double> sorted = start_up;
  std::sort(sorted.begin(), sorted.end());
  std::printf("start to painted window (ms):");
  for (double t : start_up) std::printf(" %.0f", t);
  std::printf("; median %.0f\n", sorted[2]);
  EXPECT_LT(sorted[2], 10000);

  app a;
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(wait_for([&] { return painted(a); }, 10000));
  // NOTE: under Wine a themed button under the pointer polls for the pointer's leaving
  // with a 10 ms system timer; every tick ends the program's wait, and the loop then
  // applies the window's geometry again. So the idle cost is measured twice: with the
  // pointer outside the window, and resting on "START".
  struct idle_case {
    const char* name;
    POINT pointer;
    double limit_ms;
  } cases[] = {{"pointer outside the window", {5, 5}, 300}, {"pointer on START", {0, 0}, 5000}};
  RECT start_button;
  GetWindowRect(a.button("START"), &start_button);
  cases[1].pointer = {(start_button.left + start_button.right) / 2, (start_button.top + start_button.bottom) / 2};
  for (const idle_case& c : cases) {
    move_pointer(c.pointer.x, c.pointer.y);
    Sleep(1000);
    uint64_t before = cpu_100ns(a.process.hProcess);
    double unix_before = a.unix_cpu_ms();
    Sleep(10000);
    uint64_t after = cpu_100ns(a.process.hProcess);
    double unix_after = a.unix_cpu_ms();
    double unix_ms = unix_before < 0 || unix_after < 0 ? -1.0 : unix_after - unix_before;
    std::printf("CPU time over 10 idle seconds, %s: %.1f ms (GetProcessTimes), %.0f ms (main thread, process table)\n",
                c.name, (after - before) / 10000.0, unix_ms);
    EXPECT_LT((after - before) / 10000.0, c.limit_ms) << c.name;
    if (unix_ms >= 0) {
      EXPECT_LT(unix_ms, c.limit_ms) << c.name;
    }
  }
  end_with_ende(a);
}

TEST(app_soak, three_hundred_throws_leave_memory_and_objects_flat) {
  app a;
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(wait_for([&] { return painted(a); }, 10000));
  Sleep(500);
  const int warm_up = 20, throws = 300;
  app::usage first{}, settled{}, last{};
  for (int i = 1; i <= throws; ++i) {
    click(a.button("START"));
    Sleep(780);  // a throw takes about 700 ms; no event is taken meanwhile
    if (i == warm_up || i % 100 == 0) {
      Sleep(500);
      app::usage u = a.measure();
      std::string when = "after " + std::to_string(i) + " throws";
      print_usage(when.c_str(), u);
      if (i == warm_up) first = u;
      if (i == 100) settled = u;
    }
  }
  Sleep(1500);
  last = a.measure();
  print_usage("after 300 throws", last);
  // The platform's heaps grow in steps (a step may fall anywhere in the first hundred
  // throws); a leak of a few hundred bytes per throw would add up over the last two hundred.
  EXPECT_LE(last.private_bytes, first.private_bytes + 4 * 1024 * 1024) << "private bytes grow";
  EXPECT_LE(last.private_bytes, settled.private_bytes + 1024 * 1024) << "private bytes grow after 100 throws";
  EXPECT_EQ(first.windows, last.windows) << "windows";
  EXPECT_LE(last.handles, first.handles + 2) << "handles grow";
  EXPECT_LE(last.gdi, first.gdi + 2) << "GDI objects grow";
  EXPECT_LE(last.user, first.user + 2) << "USER objects grow";
  EXPECT_LE(last.gdi_table, first.gdi_table + 2) << "GDI objects in the handle table grow";
  EXPECT_GT(first.gdi_table, 0) << "the handle table was readable";

  // Every press was a complete throw.
  SetForegroundWindow(a.window);
  Sleep(200);
  press_keys({VK_MENU, VK_F4});
  HWND box = nullptr;
  ASSERT_TRUE(wait_for([&] { return (box = a.requester()) != nullptr; }, 5000));
  Sleep(300);
  char text[4096] = {};
  GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof text);
  int counted = -1;
  std::sscanf(text, "Es wurde %dmal", &counted);
  EXPECT_EQ(throws, counted) << text;
  click(GetDlgItem(box, IDOK));
  EXPECT_EQ(0, a.wait_exit(10000));
}
