#include <algorithm>
#include <utility>

#include "runtime/gadget/gadget.h"
#include "window_test_support.h"
#include "tests/test_time.h"

namespace {

using WindowProcedure = WindowTest;

TEST_F(WindowProcedure, MessagesOfAProgramWindowBecomeQueuedEvents) {
  HWND window = open(4, "events");
  const waited size{EVENT_SIZE_WINDOW, 0, 4, 0};
  const struct {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    LRESULT result;
    std::vector<waited> queued;
  } rows[] = {
      {WM_MOVE, 0, MAKELPARAM(10, 10), 0, {{EVENT_MOVE_WINDOW, 4, 4, 0}}},
      {WM_CLOSE, 0, 0, 0, {{EVENT_CLOSE_WINDOW, 4, 4, 0}}},
      {WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 100), 0, {size}},
      {WM_SIZE, SIZE_MAXSHOW, MAKELPARAM(200, 100), 0, {size}},
      {WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(300, 200), 0, {{EVENT_MAXIMIZE_WINDOW, 0, 4, 0}, size}},
      // A maximised window resized again stays maximised: a size, no second maximise.
      {WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(310, 200), 0, {size}},
      {12501, 9, WM_LBUTTONDOWN, 0, {{EVENT_ICON, 9, 4, 0}}},
      {12501, 9, WM_RBUTTONDOWN, 0, {{EVENT_ICON, 9, 4, 1}}},
      {12501, 9, WM_LBUTTONDBLCLK, 0, {{EVENT_ICON, 9, 4, 2}}},
      {12501, 9, WM_RBUTTONDBLCLK, 0, {{EVENT_ICON, 9, 4, 3}}},
      {12501, 9, WM_MOUSEMOVE, 0, {}},
      {WM_ACTIVATE, WA_ACTIVE, 0, 1, {{EVENT_ACTIVATE_WINDOW, 0, 4, 0}}},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.result, SendMessageA(window, r.message, r.wparam, r.lparam)) << "message " << r.message;
    EXPECT_EQ(r.queued, test_runtime::take_queued())
        << "message " << r.message << ", wParam " << r.wparam << ", lParam " << r.lparam;
  }
  // 12501 also wakes a waiting loop with a WM_NULL.
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, window, WM_NULL, WM_NULL, PM_REMOVE));
}

TEST_F(WindowProcedure, CommandsAndTimersMarkImmediateEvents) {
  HWND window = open(0, "commands");
  const auto as_menu = reinterpret_cast<LPARAM>(make_button(window, COMMAND_AS_MENU_ID, 0, 0));
  const auto gadget = reinterpret_cast<LPARAM>(make_button(window, 12, 0, 30));
  settle();
  const struct {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    waited pending;  // the event the procedure marked, of window 0
    const char* what;
  } rows[] = {
      {WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), gadget, {EVENT_GADGET, 12, 0, 0}, "a control"},
      {WM_COMMAND, MAKEWPARAM(0, BN_DOUBLECLICKED), gadget, {EVENT_GADGET, 12, 0, 5}, "its notification is the type"},
      {WM_COMMAND, MAKEWPARAM(33, BN_CLICKED), as_menu, {EVENT_MENU, 33, 0, 0}, "a control numbered -10000: a menu"},
      {WM_COMMAND, MAKEWPARAM(200, 0), 0, {EVENT_MENU, 200, 0, -1}, "a menu"},
      {WM_COMMAND, MAKEWPARAM(300, 1), 0, {EVENT_MENU, 300, 0, -1}, "an accelerator of the program's own"},
      {WM_TIMER, 7, 0, {EVENT_TIMER, 7, 0, -1}, "a timer"},
  };
  const event_record& w = library->working;
  for (const auto& r : rows) {
    library->working.pending_code = 0;
    library->working.type = -1;
    EXPECT_EQ(0, SendMessageA(window, r.message, r.wparam, r.lparam)) << r.what;
    EXPECT_EQ(r.pending, (waited{w.pending_code, w.object, w.window, w.type})) << r.what;
  }
  EXPECT_EQ(0, event_queue_length()) << "immediate events are not queued";
}

TEST_F(WindowProcedure, SizeLimitsGoIntoTheMinMaxInfo) {
  HWND window = open(0, "limits", SIZABLE | WINDOW_INVISIBLE);
  HWND tool = open(1, "tool", WINDOW_TOOL | WINDOW_INVISIBLE);
  window_object* object = window_lookup(0);
  object->min_width = 150;
  object->max_height = 400;
  MINMAXINFO info{{}, {}, {}, {11, 12}, {13, 14}};
  EXPECT_EQ(0, window_procedure(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)));
  EXPECT_EQ(150, info.ptMinTrackSize.x);
  EXPECT_EQ(12, info.ptMinTrackSize.y) << "no limit: left as it was";
  EXPECT_EQ(13, info.ptMaxTrackSize.x);
  EXPECT_EQ(400, info.ptMaxTrackSize.y);

  info.ptMinTrackSize = POINT{11, 12};
  EXPECT_EQ(0, window_procedure(tool, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)));
  EXPECT_EQ(1, info.ptMinTrackSize.x) << "a tool window may be as narrow as one pixel";

  // Through the platform: the window cannot be made narrower than its limit.
  object->min_width = 260;
  EXPECT_NE(0, window_resize(0, IGNORE, IGNORE, 100, IGNORE));
  const RECT rect = window_rect(window);
  EXPECT_EQ(260, rect.right - rect.left);
}

TEST_F(WindowProcedure, MessagesOfNoProgramWindowAreHandledWithWindowMinusOne) {
  // Any window without "QX_WindowID" will do; the window procedure is called as the class
  // procedure would call it.
  HWND foreign = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, foreign);
  settle();
  EXPECT_EQ(0, window_procedure(foreign, WM_CLOSE, 0, 0));
  EXPECT_EQ(0, window_procedure(foreign, WM_MOVE, 0, 0));
  EXPECT_EQ(1, window_procedure(foreign, WM_SIZE, 0, 0));
  EXPECT_EQ(0, event_queue_length()) << "move and close of no program window post nothing";
  MINMAXINFO info{};
  EXPECT_EQ(NOT_HANDLED, window_procedure(foreign, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)));
  EXPECT_EQ(NOT_HANDLED, window_procedure(foreign, WM_TIMER, 1, 0));
  HDC dc = GetDC(foreign);
  EXPECT_EQ(NOT_HANDLED, window_procedure(foreign, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
  ReleaseDC(foreign, dc);
  EXPECT_EQ(EVENT_REPAINT, event_queue_take()) << "a repaint is posted even without a window number";
  EXPECT_EQ(-1, library->working.window);
  EXPECT_EQ(NOT_HANDLED, window_procedure(foreign, WM_NOTIFY, 0, 0)) << "no header, no gadget";
  DestroyWindow(foreign);
}

int closes_swallowed;
LRESULT CALLBACK swallow_close(HWND, UINT message, WPARAM, LPARAM) {
  if (message != WM_CLOSE) return CALLBACK_DEFAULT;
  ++closes_swallowed;
  return 0;
}

LRESULT CALLBACK answer_move(HWND, UINT message, WPARAM, LPARAM) { return message == WM_MOVE ? 5 : CALLBACK_DEFAULT; }

TEST_F(WindowProcedure, ACallbackThatAnswersTakesTheMessageEntirely) {
  HWND window = open(0, "callback");
  closes_swallowed = 0;
  window_lookup(0)->callback = swallow_close;
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WM_CLOSE, window_wait_event(500)) << "the message itself comes back";
  EXPECT_EQ(1, closes_swallowed);
  EXPECT_EQ(0, event_queue_length()) << "no event for a swallowed message";

  SendMessageA(window, WM_MOVE, 0, 0);
  EXPECT_EQ(1, event_queue_length()) << "CALLBACK_DEFAULT lets the runtime go on";
  test_runtime::take_queued();

  // The library's global callback serves windows without one of their own.
  window_lookup(0)->callback = nullptr;
  library->global_callback = answer_move;
  EXPECT_EQ(5, SendMessageA(window, WM_MOVE, 0, 0));
  EXPECT_EQ(0, event_queue_length());
}

TEST_F(WindowProcedure, MaximiseRestoreAndMinimisePostTheirEventsInOrder) {
  HWND window = open(0, "sizes", SIZABLE, 300, 200, 50, 50);
  // The window manager activates the window once it has mapped it; a change of state
  // before that would meet its own.
  pump_while_not([&] { return GetForegroundWindow() == window; });
  ASSERT_EQ(window, GetForegroundWindow());
  settle();
  // The window manager may answer a change of state with further plain resizes; those may
  // follow, also late (NOTE: Wine 10 tells a maximised window its size once more after the
  // window manager has settled it), but nothing else may come before or between the
  // events of the change.
  bool sizes_may_trail = false;
  auto expect_order = [&](const std::vector<int32_t>& expected, bool more_sizes_allowed, const char* what) {
    std::vector<int32_t> got;
    test_time::wait_until(
        [&] { return got.size() >= expected.size(); }, 3000,
        [&] {
          for (const waited& w : handled(window)) {
            if (w.type == -1 || w.window != 0) continue;
            if (w.code == EVENT_SIZE_WINDOW && got.empty() && sizes_may_trail && expected[0] != EVENT_SIZE_WINDOW)
              continue;  // the change before's
            if (w.code == EVENT_SIZE_WINDOW || w.code == EVENT_MINIMIZE_WINDOW || w.code == EVENT_MAXIMIZE_WINDOW ||
                w.code == EVENT_RESTORE_WINDOW)
              got.push_back(w.code);
          }
        });
    sizes_may_trail = more_sizes_allowed;
    while (more_sizes_allowed && got.size() > expected.size() && got.back() == EVENT_SIZE_WINDOW) got.pop_back();
    EXPECT_EQ(expected, got) << what;
  };
  ShowWindow(window, SW_MAXIMIZE);
  expect_order({EVENT_MAXIMIZE_WINDOW, EVENT_SIZE_WINDOW}, true, "maximise");
  ShowWindow(window, SW_RESTORE);
  expect_order({EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}, true, "restore");
  window_resize(0, IGNORE, IGNORE, 250, 150);
  expect_order({EVENT_SIZE_WINDOW}, true, "a plain resize");
  ShowWindow(window, SW_MINIMIZE);
  expect_order({EVENT_MINIMIZE_WINDOW}, false, "minimise");
  EXPECT_EQ(1, window_lookup(0)->min_max_state);
  ShowWindow(window, SW_RESTORE);
  expect_order({EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}, true, "restore after minimise");
  EXPECT_EQ(0, window_lookup(0)->min_max_state);
}

// Tab and Shift+Tab as the wait sees them: a key message for the focused control, with the
// Shift key's state in the thread's keyboard state.
int32_t press_tab(HWND focus, bool shift) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = keys[VK_LSHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  PostMessageA(focus, WM_KEYDOWN, VK_TAB, 1);
  int32_t code = window_wait_event(500);
  keys[VK_SHIFT] = keys[VK_LSHIFT] = 0;
  SetKeyboardState(keys);
  return code;
}

TEST_F(WindowProcedure, TabsMoveTheFocusRoundTheTabStopsWithoutAnEventAndActivationGivesItBack) {
  HWND window = open(0, "tabs", 0xCA0001, 300, 200);
  HWND first = make_button(window, 1, 10, 10);
  HWND second = make_button(window, 2, 10, 40);
  HWND no_stop = make_button(window, 3, 10, 70, 0);
  ShowWindow(make_button(window, 4, 10, 100), SW_HIDE);
  EnableWindow(make_button(window, 5, 10, 130), FALSE);
  HWND third = make_button(window, 6, 100, 10);
  SetActiveWindow(window);
  settle();
  ASSERT_EQ(window, GetActiveWindow());

  const struct {
    HWND from;
    bool shift;
    HWND to;
    const char* what;
  } rows[] = {
      {first, false, second, "Tab to the next tab stop"},
      {second, false, third, "Tab skips controls that are no tab stops, hidden or disabled"},
      {third, false, first, "Tab on the last goes round to the first"},
      {first, true, third, "Shift+Tab on the first goes round to the last"},
      {third, true, second, "Shift+Tab to the one before"},
      {no_stop, false, no_stop, "Tab from a control that is no tab stop changes nothing"},
      {no_stop, true, third, "Shift+Tab from there goes to the last tab stop"},
  };
  for (const auto& r : rows) {
    SetFocus(r.from);
    ASSERT_EQ(r.from, GetFocus()) << r.what;
    EXPECT_EQ(WM_KEYDOWN, press_tab(r.from, r.shift)) << r.what << ": the key's own number, no event";
    EXPECT_EQ(r.to, GetFocus()) << r.what;
    EXPECT_EQ(std::vector<waited>{}, test_runtime::take_queued()) << r.what;
  }

  // The window manager activates new windows when it gets to them; open lets it have done so.
  HWND other = open(1, "other", 0xCA0000, 200, 100, 400, 0);
  SetForegroundWindow(window);
  settle();
  SetFocus(second);
  settle();
  ASSERT_EQ(window, GetActiveWindow());
  ASSERT_EQ(second, GetFocus());

  SetForegroundWindow(other);
  pump_while_not([&] { return GetActiveWindow() == other; });
  ASSERT_EQ(other, GetActiveWindow());
  EXPECT_EQ(second, GetPropA(window, "QX_Focus")) << "kept at the deactivation";
  EXPECT_NE(second, GetFocus());

  SetForegroundWindow(window);
  std::vector<waited> seen = pump_while_not([&] { return GetActiveWindow() == window && GetFocus() == second; });
  for (const waited& w : handled(window)) seen.push_back(w);
  EXPECT_EQ(window, GetActiveWindow());
  EXPECT_EQ(second, GetFocus()) << "given back at the activation";
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const waited& w) {
    return w.code == EVENT_ACTIVATE_WINDOW && w.window == 0;
  })) << seen;
}

std::pair<gadget_record*, UINT> last_handled;  // by the lent handler: the gadget and the message

TEST_F(WindowProcedure, AMessageAboutAGadgetGoesToItsKindsHandlerAndNoOtherControlPassesForIt) {
  HWND window = open(0, "forward", 0, 300, 200);
  ASSERT_NE(0, gadget_button(0, 10, 10, 80, 24, "gadget"));
  gadget_record* gadget = gadget_lookup(0);
  ASSERT_NE(nullptr, gadget);
  HWND control = gadget->window;
  // A control of no gadget whose identifier is 0 too, without "QX_ID": both read 0.
  HWND stranger = make_button(window, 0, 10, 50);
  settle();

  // The kinds of this system have no handler; one is lent to the button kind here.
  gadget_kind* kind = gadget->kind;
  auto* saved_handler = kind->message_handler;
  kind->message_handler = [](gadget_record* g, HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    last_handled = {g, message};
    return 0;
  };
  library->working.pending_code = 0;
  EXPECT_EQ(0, SendMessageA(window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(control)));
  EXPECT_EQ(std::make_pair(gadget, UINT{WM_COMMAND}), last_handled);
  EXPECT_EQ(0, library->working.pending_code) << "the gadget took the command: no event";

  last_handled = {};
  EXPECT_EQ(0, SendMessageA(window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(stranger)));
  EXPECT_EQ(nullptr, last_handled.first) << "the stranger is not gadget 0";
  EXPECT_EQ(EVENT_GADGET, library->working.pending_code) << "its command is a plain gadget event";
  EXPECT_EQ(0, library->working.object);

  EXPECT_EQ(0, window_procedure(window, WM_CTLCOLORBTN, 0, reinterpret_cast<LPARAM>(control)));
  EXPECT_EQ(std::make_pair(gadget, UINT{WM_CTLCOLORBTN}), last_handled);
  kind->message_handler = saved_handler;

  EXPECT_EQ(NOT_HANDLED, gadget_forward_message(nullptr, window, WM_COMMAND, 0, 0));
  EXPECT_EQ(NOT_HANDLED, gadget_forward_message(control, window, WM_COMMAND, 0, reinterpret_cast<LPARAM>(control)))
      << "a kind without a handler";
}

}  // namespace
