// Waiting for the next event: queued events first, one per call; otherwise one message is
// retrieved (within the time-out), translated and dispatched, and the event that the
// window procedure marked for it, or else the message's own number, is returned.
#include "runtime/core/runtime.h"
#include "runtime/window/window_object.h"

namespace {

constexpr UINT PEEK_REMOVE_NO_YIELD = PM_REMOVE | PM_NOYIELD;
constexpr DWORD WAKE_ON_ANY_INPUT = QS_ALLINPUT | QS_ALLPOSTMESSAGE;
constexpr int32_t WAIT_WITHOUT_LIMIT = -1;

// One message into msg; false when none came within the time-out.
bool get_message(MSG& msg, int32_t timeout) {
  if (timeout == WAIT_WITHOUT_LIMIT) {
    // Its failure and WM_QUIT are handed on like any message.
    GetMessageA(&msg, nullptr, 0, 0);
    return true;
  }
  if (PeekMessageA(&msg, nullptr, 0, 0, PEEK_REMOVE_NO_YIELD)) return true;
  if (timeout == 0) return false;
  // One wait only: a wake-up whose message cannot be taken here ends the call early.
  if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout), WAKE_ON_ANY_INPUT) == WAIT_TIMEOUT)
    return false;
  return PeekMessageA(&msg, nullptr, 0, 0, PEEK_REMOVE_NO_YIELD) != 0;
}

void release_previous_event(window_library_record& library) {
  event_record& current = library.current;
  if (current.data && current.data_release) {
    current.data_release(current.data);
    current.data = 0;
    current.data_release = nullptr;
  }
  window_release_held_block(&library);
}

}  // namespace

int32_t window_wait_event(int32_t timeout) {
  window_library_record* library = window_library();
  if (!library) return 0;
  release_previous_event(*library);
  event_record& working = library->working;
  working.type = -1;
  working.pending_code = 0;
  working.data = 0;
  working.data_release = nullptr;

  int32_t result = event_queue_take();
  if (result) {
    working.pending_code = result;
    working.wparam = 0;
    working.lparam = 0;
  } else {
    MSG msg{};
    if (!get_message(msg, timeout)) return 0;
    HWND active = GetActiveWindow();
    HACCEL table = window_accelerators_for(active);
    if (table && TranslateAcceleratorA(active, table, &msg)) {
      if (active) window_focus_cues(active, 1);
    } else {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (working.pending_code) {
      result = working.pending_code;
      working.pending_code = 0;
    } else {
      result = static_cast<int32_t>(msg.message);
      working.wparam = msg.wParam;
      working.lparam = msg.lParam;
    }
  }
  library->current = working;
  return result;
}
