// The message requester against real windows: each box is inspected from a timer of the
// thread that shows it (the box's own message loop runs the timer) and then closed by
// its button.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/runtime.h"
#include "runtime/requester/requester.h"
#include "tests/test_runtime.h"
#include "tests/test_time.h"

namespace {

const char* const test_class = "RequesterTestWindow";

// NOTE: the window manager offers the focus to each window it maps, in the order they
// were shown, and Wine asks the window with WM_MOUSEACTIVATE whether it takes it (never a
// disabled one). Once the window shown last has been asked, no window shown before it can
// still take the focus.
LRESULT CALLBACK test_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_MOUSEACTIVATE) SetPropA(window, "offered", reinterpret_cast<HANDLE>(1));
  return DefWindowProcA(window, message, wparam, lparam);
}

HWND make_window(const char* title, DWORD ex_style, bool visible) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = test_window_procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = test_class;
    registered = RegisterClassA(&window_class) != 0;
  }
  HWND window = CreateWindowExA(ex_style, test_class, title, WS_OVERLAPPEDWINDOW, 100, 100, 220, 140, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window && visible) ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

// Dispatches this thread's messages until the condition holds or the time (scaled by the
// run's time factor) is up.
bool pump_until(const std::function<bool()>& condition, int within_ms) {
  return test_time::wait_until(condition, within_ms, [] { test_time::pump_messages(20); });
}

bool offered_the_focus(HWND window) {
  return pump_until([&] { return GetPropA(window, "offered") != nullptr; }, 5000);
}

// Once the window manager has offered the window the focus, asks for it until it has it.
bool bring_to_foreground(HWND window) {
  if (!offered_the_focus(window)) return false;
  return pump_until(
      [&] {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        return false;
      },
      5000);
}

bool is_topmost(HWND window) { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// A visible message box of the platform with this title, or null.
HWND find_box(const char* title) {
  HWND box = FindWindowA("#32770", title);
  return box && IsWindowVisible(box) ? box : nullptr;
}

struct box_visit {
  const char* title;
  int button;  // pressed once the inspection is done
  std::function<void(HWND box)> inspect;
  DWORD deadline;
  bool found;
  bool done;
  wchar_t text[64];  // the box's text as shown
};

// The visit of the innermost requester this thread has open.
box_visit* current_visit = nullptr;

BOOL CALLBACK close_any_box(HWND window, LPARAM) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) == "#32770") PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

void CALLBACK visit_timer(HWND, UINT, UINT_PTR, DWORD) {
  box_visit* visit = current_visit;
  if (!visit || visit->done) return;
  if (HWND box = find_box(visit->title)) {
    // Marked first: the inspection may open a requester of its own, whose loop runs this
    // timer again.
    visit->done = visit->found = true;
    GetDlgItemTextW(box, 0xFFFF, visit->text, static_cast<int>(std::size(visit->text)));
    visit->inspect(box);
    HWND button = GetDlgItem(box, visit->button);
    if (button)
      SendMessageA(button, BM_CLICK, 0, 0);
    else
      PostMessageA(box, WM_COMMAND, visit->button, 0);
  } else if (static_cast<LONG>(GetTickCount() - visit->deadline) > 0) {
    // Never stay in a box that cannot be found: close whatever this thread shows.
    visit->done = true;
    EnumThreadWindows(GetCurrentThreadId(), close_any_box, 0);
  }
}

// requester_message, with inspect run on its box while it is open; then the button is
// pressed. The requester's result. The box shows the Windows-1252 text whatever the
// system's code page.
int32_t show_requester(const char* title, const std::function<void(HWND box)>& inspect, uint32_t flags = 0,
                       int button = IDOK, const char* text = "Zeile 1\rGr\xFC\xDF") {
  box_visit visit = {title, button, inspect, GetTickCount() + test_time::scaled_ms(15000), false, false, {}};
  box_visit* outer = current_visit;
  current_visit = &visit;
  UINT_PTR timer = SetTimer(nullptr, 0, 30, visit_timer);
  int32_t result = requester_message(title, text, flags);
  KillTimer(nullptr, timer);
  current_visit = outer;
  EXPECT_TRUE(visit.found) << "the box \"" << title << "\" was never seen";
  wchar_t expected[64] = {};
  if (text) MultiByteToWideChar(1252, 0, text, -1, expected, static_cast<int>(std::size(expected)));
  EXPECT_EQ(std::wstring(expected), std::wstring(visit.text)) << "the text of \"" << title << "\"";
  return result;
}

class Requester : public test_runtime::RuntimeTest {
 protected:
  void TearDown() override {
    for (HWND window : windows_) DestroyWindow(window);
    test_time::pump_messages(0);
    RuntimeTest::TearDown();
  }
  HWND window(const char* title, DWORD ex_style = 0, bool visible = true) {
    HWND made = make_window(title, ex_style, visible);
    EXPECT_NE(nullptr, made) << title;
    windows_.push_back(made);
    return made;
  }
  std::vector<HWND> windows_;
};

// A box opened from within the box finds the windows as the outer one left them and
// leaves them so until the outer one closes.
TEST_F(Requester, WindowsOfTheThreadAreDisabledAndLoweredWhileTheBoxIsOpenAndRestoredAfter) {
  const struct {
    const char* name;
    DWORD ex_style;
    bool visible;
    bool disabled_before;
    bool enabled_during;
    bool topmost_during;
  } cases[] = {
      {"second window", 0, true, false, false, false},
      {"already disabled", 0, true, true, false, false},
      {"topmost", WS_EX_TOPMOST, true, false, false, false},
      {"disabled topmost", WS_EX_TOPMOST, true, true, false, false},
      // Hidden windows are not recorded and keep everything.
      {"hidden topmost", WS_EX_TOPMOST, false, false, true, true},
      {"hidden disabled", 0, false, true, false, false},
  };
  constexpr size_t count = std::size(cases);
  HWND windows[count];
  for (size_t i = 0; i < count; ++i) {
    windows[i] = window(cases[i].name, cases[i].ex_style, cases[i].visible);
    if (cases[i].disabled_before) EnableWindow(windows[i], FALSE);
  }
  HWND front = window("front window");
  ASSERT_TRUE(bring_to_foreground(front)) << "foreground " << GetForegroundWindow();
  for (size_t i = 0; i < count; ++i)
    ASSERT_EQ(cases[i].ex_style == WS_EX_TOPMOST, is_topmost(windows[i])) << cases[i].name << " before";

  struct look {
    const char* when;
    bool enabled[count], topmost[count];
  } looks[] = {{"in the box", {}, {}}, {"in a box opened from it", {}, {}}, {"once that one is closed", {}, {}}};
  auto take = [&](look& l) {
    for (size_t i = 0; i < count; ++i)
      l.enabled[i] = IsWindowEnabled(windows[i]), l.topmost[i] = is_topmost(windows[i]);
  };
  HWND owner = nullptr;
  int32_t inner_result = 0;
  bool outer_open_after_inner = false;
  int32_t result = show_requester("Requester: outer", [&](HWND box) {
    owner = GetWindow(box, GW_OWNER);
    take(looks[0]);
    inner_result = show_requester("Requester: inner", [&](HWND) { take(looks[1]); });
    take(looks[2]);
    outer_open_after_inner = IsWindowVisible(box);
  });
  EXPECT_EQ(IDOK, result);
  EXPECT_EQ(IDOK, inner_result);
  EXPECT_TRUE(outer_open_after_inner);
  EXPECT_EQ(front, owner) << "the box belongs to the foreground window of the process";
  for (size_t i = 0; i < count; ++i) {
    for (const look& l : looks) {
      EXPECT_EQ(cases[i].enabled_during, l.enabled[i]) << cases[i].name << " " << l.when;
      EXPECT_EQ(cases[i].topmost_during, l.topmost[i]) << cases[i].name << " " << l.when;
    }
    EXPECT_EQ(!cases[i].disabled_before, IsWindowEnabled(windows[i]) != 0) << cases[i].name << " afterwards";
    EXPECT_EQ(cases[i].ex_style == WS_EX_TOPMOST, is_topmost(windows[i])) << cases[i].name << " afterwards";
  }
  EXPECT_TRUE(IsWindowEnabled(front)) << "the owner is enabled again once its box is gone";
}

TEST_F(Requester, FlagsReachTheBoxAndItsAnswerComesBack) {
  const struct {
    uint32_t flags;
    int button;
    const char* text;
  } cases[] = {
      {MB_OK, IDOK, nullptr},  // no text is an empty text, not a fault
      {MB_OKCANCEL, IDCANCEL, "Zeile 1\rZeile 2"},
      {MB_YESNO | MB_ICONQUESTION, IDNO, "\xC4rger"},
      {MB_YESNOCANCEL, IDYES, ""},
  };
  HWND front = window("front window");
  ASSERT_TRUE(bring_to_foreground(front));
  for (const auto& c : cases) {
    bool has_button = false;
    int32_t result = show_requester(
        "Requester: flags", [&](HWND box) { has_button = GetDlgItem(box, c.button) != nullptr; }, c.flags, c.button,
        c.text);
    EXPECT_TRUE(has_button) << "flags " << c.flags << " button " << c.button;
    EXPECT_EQ(c.button, result) << "flags " << c.flags;
  }
}

TEST_F(Requester, WithAnotherProgramInTheForegroundTheBoxHasNoOwnerAndEveryWindowIsDisabled) {
  HWND first = window("first window");
  HWND second = window("second window");
  ASSERT_TRUE(offered_the_focus(second)) << "before the other program's window is shown";

  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string child(path);
  child = child.substr(0, child.rfind('\\') + 1) + "child_program.exe";
  const std::string child_title = "Requester test: other program " + std::to_string(GetCurrentProcessId());
  const std::string parameters = "window \"" + child_title + "\" 30000";
  const auto* program = reinterpret_cast<const program_record*>(
      program_run(child.c_str(), parameters.c_str(), "", PROGRAM_KEEP));
  ASSERT_NE(nullptr, program);
  HWND other = nullptr;
  bool other_in_front = pump_until(
      [&] {
        other = FindWindowA("ChildProgramWindow", child_title.c_str());
        return other && GetForegroundWindow() == other;
      },
      10000);

  if (other_in_front) {
    bool first_enabled = true, second_enabled = true;
    HWND owner = reinterpret_cast<HWND>(1);
    EXPECT_EQ(IDOK, show_requester("Requester: other program in front", [&](HWND box) {
                owner = GetWindow(box, GW_OWNER);
                first_enabled = IsWindowEnabled(first) != 0;
                second_enabled = IsWindowEnabled(second) != 0;
              }));
    EXPECT_EQ(nullptr, owner) << "a window of another program is never the owner";
    EXPECT_FALSE(first_enabled) << "not in the foreground: disabled while the box is open";
    EXPECT_FALSE(second_enabled) << "not in the foreground: disabled while the box is open";
    EXPECT_TRUE(IsWindowEnabled(first));
    EXPECT_TRUE(IsWindowEnabled(second));
  }
  TerminateProcess(program->process, 0);
  WaitForSingleObject(program->process, 5000);
  CloseHandle(program->process);
  ASSERT_TRUE(other_in_front) << "the other program's window " << other << " never came to the foreground ("
                              << GetForegroundWindow() << ")";
}

TEST_F(Requester, RequestersOfTwoThreadsEachRestoreOnlyTheirOwnWindows) {
  HWND mine = window("main thread window");
  ASSERT_TRUE(offered_the_focus(mine)) << "before the worker's windows are shown";
  std::atomic<HWND> worker_back{nullptr};
  std::atomic<bool> worker_in_front{false}, worker_done{false}, worker_back_after{false};
  std::atomic<int32_t> worker_result{0};
  std::thread worker([&] {
    worker_back = make_window("worker back", 0, true);
    HWND front = make_window("worker front", 0, true);
    worker_in_front = bring_to_foreground(front);
    worker_result = requester_message("Requester: worker", "from the second thread");
    worker_back_after = IsWindowEnabled(worker_back) != 0;
    DestroyWindow(front);
    DestroyWindow(worker_back);
    worker_done = true;
  });
  // The main thread keeps dispatching: the worker's windows may send to its windows.
  HWND worker_box = nullptr;
  bool worker_box_up = pump_until([&] { return (worker_box = find_box("Requester: worker")) != nullptr; }, 15000);
  EXPECT_TRUE(worker_in_front) << "the worker's window never came to the foreground";
  if (worker_box_up) {
    EXPECT_TRUE(IsWindowEnabled(mine)) << "another thread's requester leaves this thread's windows alone";
    EXPECT_FALSE(IsWindowEnabled(worker_back));

    bool mine_during = true, worker_back_during = true;
    EXPECT_EQ(IDOK, show_requester("Requester: main thread", [&](HWND) {
                mine_during = IsWindowEnabled(mine) != 0;
                worker_back_during = IsWindowEnabled(worker_back) != 0;
              }));
    EXPECT_FALSE(mine_during);
    EXPECT_FALSE(worker_back_during);
    EXPECT_TRUE(IsWindowEnabled(mine)) << "restored by the main thread's requester";
    EXPECT_NE(nullptr, find_box("Requester: worker")) << "the worker's box is still open";
    EXPECT_FALSE(IsWindowEnabled(worker_back)) << "the worker's window waits for the worker's box";
  }
  if (worker_box) PostMessageA(worker_box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(pump_until([&] { return worker_done.load(); }, 15000));
  worker.join();
  EXPECT_EQ(IDOK, worker_result);
  EXPECT_TRUE(worker_back_after) << "restored by the worker's own requester";
  ASSERT_TRUE(worker_box_up) << "the worker's box never appeared";
}

TEST(RequesterOutsideTheRuntime, BoxShowsWithoutRecordingWindows) {
  // Without the main heap there is nowhere to record a window; none is touched.
  HWND back = make_window("back window", 0, true);
  bool back_enabled = false;
  EXPECT_EQ(IDOK, show_requester("Requester: no runtime", [&](HWND) { back_enabled = IsWindowEnabled(back) != 0; }));
  EXPECT_TRUE(back_enabled);
  EXPECT_TRUE(IsWindowEnabled(back));
  DestroyWindow(back);
}

}  // namespace
