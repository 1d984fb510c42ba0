#include <chrono>

#include "tests/test_time.h"
#include "window_test_support.h"

namespace {

using EventWait = WindowTest;
using clock_type = std::chrono::steady_clock;

long long elapsed_ms(clock_type::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - since).count();
}

TEST_F(EventWait, AClickOnAButtonComesBackFromTheSameWaitAndTheObjectOutlivesATimeOut) {
  HWND button = make_button(open(0, "click", 0xCA0001, 320, 360), 1, 20, 20);
  ASSERT_NE(nullptr, button);
  settle();
  auto click = [&] {
    PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    return pump_until(EVENT_GADGET, 2000);
  };
  std::vector<waited> seen = click();
  ASSERT_TRUE(contains_code(seen, EVENT_GADGET)) << seen;
  EXPECT_FALSE(contains_code(seen, WM_LBUTTONUP)) << "the wait that took the button-up gave the event: " << seen;
  EXPECT_EQ((waited{EVENT_GADGET, 1, 0, 0}), seen.back()) << "BN_CLICKED of window 0";

  // Nothing to do: 0 after about the time-out, and the gadget of the click stays. NOTE:
  // once under Wine 10 a late message of the platform's own came in the quiet wait, which
  // rightly handed it back; then the click is made again and the next quiet wait judged.
  long long ms = 0;
  std::vector<int32_t> late;
  for (int32_t code = -1; code != 0 && late.size() < 3;) {
    if (!late.empty()) {
      ASSERT_TRUE(contains_code(click(), EVENT_GADGET));
    }
    settle();
    auto start = clock_type::now();
    code = window_wait_event(1000);
    ms = elapsed_ms(start);
    if (code != 0) late.push_back(code);
  }
  ASSERT_LT(late.size(), 3u) << "messages came during every quiet wait, the last after " << ms << " ms; codes "
                             << ::testing::PrintToString(late);
  EXPECT_GE(ms, 900);
  EXPECT_LT(ms, test_time::scaled_ms(3000)) << "generous: the machine may be busy";
  EXPECT_EQ(1, event_gadget());

  auto start = clock_type::now();
  EXPECT_EQ(0, window_wait_event(0));
  EXPECT_LT(elapsed_ms(start), 500) << "a time-out of 0 does not wait";
  EXPECT_EQ(1, event_gadget());
}

// Messages without an event come back as their numbers with their parameters, the object
// of the event before kept; a close is its message first and the window's event after.
TEST_F(EventWait, MessagesComeBackAsTheirNumbersNotAsAClickMarkedBeforeAndACloseAsAnEventAfterwards) {
  HWND window = open(3, "messages");
  HWND button = make_button(window, 1, 20, 20);
  settle();
  // A command that reaches the window while no wait dispatches (from a modal loop or a
  // pause) marks its event outside any wait; the next wait must not hand it back as its own.
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  const struct {
    HWND to;  // none: a thread message
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    int32_t ms;
    waited expected;
    const char* what;
  } rows[] = {
      {window, WM_APP + 1, 3, 4, -1, {WM_APP + 1, 44, 3, -1}, "waiting without limit takes the message, no click"},
      {nullptr, WM_APP + 2, 5, 6, 500, {WM_APP + 2, 44, 9, -1}, "no window procedure: the window stays"},
      {window, WM_NULL, 0, 0, 500, {0, 44, 3, -1}, "0 like a time-out, but the current record is updated"},
      {window, WM_CLOSE, 0, 0, 500, {WM_CLOSE, 44, 3, -1}, "a close: its message's own number"},
  };
  for (const auto& r : rows) {
    library->working.object = 44;  // as a previous event left them
    library->working.window = 9;
    library->current.wparam = 99;
    r.to ? PostMessageA(r.to, r.message, r.wparam, r.lparam)
         : PostThreadMessageA(GetCurrentThreadId(), r.message, r.wparam, r.lparam);
    EXPECT_EQ(r.expected, next(r.ms)) << r.what;
    EXPECT_EQ(r.wparam, library->current.wparam) << r.what;
    EXPECT_EQ(r.lparam, library->current.lparam) << r.what;
  }
  EXPECT_EQ((waited{EVENT_CLOSE_WINDOW, 3, 3, 0}), next(0)) << "then the close's queued event";
  EXPECT_EQ(0u, library->current.wparam);
  EXPECT_EQ(0, window_wait_event(0)) << "nothing else";
  EXPECT_TRUE(IsWindow(window)) << "the close box only reports";
}

// Whether block is a live block of the main heap.
bool main_heap_holds(const void* block) {
  PROCESS_HEAP_ENTRY entry{};
  bool found = false;
  HeapLock(main_heap());
  while (HeapWalk(main_heap(), &entry))
    if (entry.lpData == block && (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)) found = true;
  HeapUnlock(main_heap());
  return found;
}

intptr_t released;
void release_data(intptr_t data) { released = data; }

TEST_F(EventWait, DataOfAnEventAndAHeldBlockAreReleasedByTheNextWait) {
  HWND window = open(0, "data");
  released = 0;
  event_queue_add(EVENT_GADGET, 9, 0, 0, 77, release_data);
  EXPECT_EQ(EVENT_GADGET, window_wait_event(0));
  EXPECT_EQ(77, library->current.data);
  EXPECT_EQ(0, released) << "the data lives as long as its event is the current one";
  window_wait_event(0);
  EXPECT_EQ(77, released);
  EXPECT_EQ(0, library->current.data);

  // A gadget data block comes with an immediate event and goes at the next wait.
  auto* block = static_cast<window_data_block*>(main_heap_alloc(sizeof(window_data_block)));
  block->buffer = main_heap_alloc(16);
  PostMessageA(window, EVENT_GADGET_DATA, 5, reinterpret_cast<LPARAM>(block));
  EXPECT_EQ(EVENT_GADGET_DATA, window_wait_event(500));
  EXPECT_EQ(5, event_gadget());
  EXPECT_EQ(block, library->held_block);
  window_wait_event(0);
  EXPECT_EQ(nullptr, library->held_block);

  // Two blocks before a wait releases them: the first one is not lost.
  auto* first = static_cast<window_data_block*>(main_heap_alloc(sizeof(window_data_block)));
  auto* second = static_cast<window_data_block*>(main_heap_alloc(sizeof(window_data_block)));
  SendMessageA(window, EVENT_WINDOW_DATA, 0, reinterpret_cast<LPARAM>(first));
  SendMessageA(window, EVENT_WINDOW_DATA, 0, reinterpret_cast<LPARAM>(second));
  EXPECT_EQ(second, library->held_block);
  EXPECT_FALSE(main_heap_holds(first)) << "the replaced block was released";
  EXPECT_TRUE(main_heap_holds(second));
  window_wait_event(0);
  EXPECT_FALSE(main_heap_holds(second));
}

VOID CALLBACK post_later(void* window, BOOLEAN) { PostMessageA(static_cast<HWND>(window), WM_APP + 3, 7, 0); }

TEST_F(EventWait, TheWakeMaskHasPointerInputFromWindows8OnAndEitherMaskWakesAndTimesOut) {
  const struct {
    DWORD major, minor, mask;
  } versions[] = {{5, 1, 0x5FF}, {6, 1, 0x5FF}, {6, 2, 0x1DFF}, {6, 3, 0x1DFF}, {10, 0, 0x1DFF}};
  for (const auto& v : versions)
    EXPECT_EQ(v.mask, window_wake_mask(v.major, v.minor)) << "Windows " << v.major << "." << v.minor;
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(window_wake_mask(version.dwMajorVersion, version.dwMinorVersion), library->wake_mask)
      << "chosen at start for " << version.dwMajorVersion << "." << version.dwMinorVersion;

  // Windows 7's mask and Windows 8's (whichever this platform got): a message posted from
  // another thread while the wait sleeps ends it, and a quiet wait runs to its time-out.
  HWND window = open(0, "mask");
  for (DWORD mask : {window_wake_mask(6, 1), window_wake_mask(6, 2)}) {
    library->wake_mask = mask;
    settle();
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, post_later, window, 50, 0, WT_EXECUTEONLYONCE));
    EXPECT_EQ(WM_APP + 3, window_wait_event(static_cast<int32_t>(test_time::scaled_ms(5000)))) << std::hex << mask;
    EXPECT_EQ(7u, library->current.wparam);
    DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
    auto start = clock_type::now();
    EXPECT_EQ(0, window_wait_event(300)) << std::hex << mask;
    EXPECT_GE(elapsed_ms(start), 250) << std::hex << mask << ": the wait ended before its time-out";
  }
}

}  // namespace
