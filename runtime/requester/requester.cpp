// The message requester: the platform's message box, made modal to every visible
// top-level window of the calling thread rather than to its owner alone. Before the box
// those windows are recorded, disabled and lifted out of the topmost band; afterwards
// exactly what was changed is put back.
#include "runtime/core/platform.h"

#include <commctrl.h>
#include <objbase.h>

#include "runtime/core/runtime.h"
#include "runtime/core/wide_text.h"
#include "runtime/requester/requester.h"

namespace {

// One top-level window changed for an open requester. Nodes of one list for the whole
// process, newest at the head; each carries the thread that made it, so requesters open
// on different threads at once each restore only their own windows.
struct disabled_window_record {
  disabled_window_record* next;      // next older record
  disabled_window_record* previous;  // next newer record
  DWORD thread;
  HWND window;
  BYTE was_topmost;    // the window had WS_EX_TOPMOST when recorded
  BYTE disabled_here;  // the requester disabled it (it was enabled and not in the foreground)
};

struct requester_library_record {
  disabled_window_record* disabled_windows;  // empty except while a requester is open
  // Guards the links of the list only. Records are read and acted on outside it, by their
  // own thread: window calls send messages, and a window procedure may well open a
  // requester of its own.
  SRWLOCK lock;
};

requester_library_record requester_library = {nullptr, SRWLOCK_INIT};

// Moves a window between the topmost band and the others, nothing else.
constexpr UINT band_flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

struct record_pass {
  DWORD thread;
  HWND foreground;
  int made;  // records this requester added
};

void push_record(disabled_window_record* record) {
  AcquireSRWLockExclusive(&requester_library.lock);
  record->next = requester_library.disabled_windows;
  if (record->next) record->next->previous = record;
  requester_library.disabled_windows = record;
  ReleaseSRWLockExclusive(&requester_library.lock);
}

// The next record of thread after the given one (from the head when null). A thread's own
// records stay valid while it walks them: only that thread frees them.
disabled_window_record* next_record(disabled_window_record* after, DWORD thread) {
  AcquireSRWLockShared(&requester_library.lock);
  disabled_window_record* record = after ? after->next : requester_library.disabled_windows;
  while (record && record->thread != thread) record = record->next;
  ReleaseSRWLockShared(&requester_library.lock);
  return record;
}

void unlink_record(disabled_window_record* record) {
  AcquireSRWLockExclusive(&requester_library.lock);
  if (record->previous)
    record->previous->next = record->next;
  else
    requester_library.disabled_windows = record->next;
  if (record->next) record->next->previous = record->previous;
  ReleaseSRWLockExclusive(&requester_library.lock);
}

BOOL CALLBACK record_window(HWND window, LPARAM parameter) {
  auto* pass = reinterpret_cast<record_pass*>(parameter);
  if (GetWindowThreadProcessId(window, nullptr) != pass->thread || !IsWindowVisible(window)) return TRUE;
  auto* record = static_cast<disabled_window_record*>(main_heap_alloc(sizeof(disabled_window_record)));
  // A window that cannot be recorded is left alone: disabling it without a record would
  // leave it disabled for good.
  if (!record) return TRUE;
  record->thread = pass->thread;
  record->window = window;
  if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) record->was_topmost = 1;
  if (window != pass->foreground && IsWindowEnabled(window)) record->disabled_here = 1;
  push_record(record);
  ++pass->made;
  if (record->disabled_here) EnableWindow(window, FALSE);
  return TRUE;
}

}  // namespace

int32_t requester_message(const char* title, const char* text, uint32_t flags) {
  record_pass pass = {GetCurrentThreadId(), GetForegroundWindow(), 0};
  // Records come from the main heap; without it (outside the runtime's life) the box is
  // shown without touching any window.
  if (main_heap()) EnumWindows(record_window, reinterpret_cast<LPARAM>(&pass));

  // Topmost windows would cover the box; take them out of the topmost band meanwhile.
  // NOTE: without SWP_NOACTIVATE each of them would also be activated, taking the
  // foreground from the window that is to own the box (and handing the box to a window
  // this requester has just disabled); their order changes, their activation does not.
  // This requester's records are the first `made` records of its thread from the head: a
  // requester opened from within the box (a timer, another window's message) adds its
  // own in front and removes them again before this one goes on.
  disabled_window_record* record = nullptr;
  for (int i = 0; i < pass.made && (record = next_record(record, pass.thread)); ++i)
    if (record->was_topmost) SetWindowPos(record->window, HWND_NOTOPMOST, 0, 0, 0, 0, band_flags);

  HWND owner = GetForegroundWindow();
  if (owner) {
    DWORD process = 0;
    GetWindowThreadProcessId(owner, &process);
    if (process != GetCurrentProcessId()) owner = nullptr;
  }
  // The texts are 1252 whatever the system's code page; the box shows them as they are.
  const wide_text wide_title(title), wide_message(text);
  int result = 0;
  if (wide_title.ok() && wide_message.ok())
    result = MessageBoxW(owner, wide_message.wide(), title ? wide_title.wide() : nullptr, flags);

  // Put back only what this requester changed; a window destroyed meanwhile makes these
  // calls fail harmlessly.
  record = next_record(nullptr, pass.thread);
  for (int i = 0; i < pass.made && record; ++i) {
    if (record->disabled_here) EnableWindow(record->window, TRUE);
    if (record->was_topmost) SetWindowPos(record->window, HWND_TOPMOST, 0, 0, 0, 0, band_flags);
    disabled_window_record* next = next_record(record, pass.thread);
    unlink_record(record);
    main_heap_free(record);
    record = next;
  }
  return result;
}

void requester_library_start() {
  // Nothing is open across a restart of the runtime; the old records went with the heap.
  requester_library.disabled_windows = nullptr;
  INITCOMMONCONTROLSEX classes = {sizeof(INITCOMMONCONTROLSEX), 0xB48};
  InitCommonControlsEx(&classes);
  CoInitialize(nullptr);
}
