// Drives the real Tessarix.exe from outside: starts it, finds its window and controls,
// clicks and types with real input (SendInput), reads screen pixels, the requester's
// text, the sounds that reached the audio file sink and the addresses that reached the
// browser launcher. The runner script (run_e2e.sh) sets up the sink and the launcher and
// names the files through the environment.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/audio_sink.h"
#include "tests/test_time.h"
#include "tests/wine_paths.h"

namespace e2e {

using test_time::wait_until;
using wine_paths::setting;
using wine_paths::windows_path;

// A file in the run's work folder (the audio sink's is "audio.raw"), as a Windows path.
std::string work_file(const std::string& name);

struct app {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;  // "Tessarix V1.1"
  LARGE_INTEGER started{};
  std::string program;  // the program file to start; empty: the build's Tessarix.exe
  ~app();
  // Starts the program (the audio sink's file is removed first) and waits for its window,
  // looking every step_ms. Deadlines here are scaled by the run's time factor.
  bool start(DWORD deadline_ms = 30000, DWORD step_ms = 20);
  HWND control(const char* class_name, const char* text) const;  // text null: any
  HWND image_gadget() const { return control("Static", nullptr); }
  HWND button(const char* text) const { return control("Button", text); }
  // Waits until the program is back in its wait for events (scaled deadline).
  bool idle(DWORD deadline_ms = 10000) const;
  // Waits for the process to end; its exit code, or -1 on time-out.
  long wait_exit(DWORD deadline_ms);
  // The requester (a dialog box of the program's thread), or null.
  HWND requester() const;
  // Waits for the requester, with its text, in front for the user's input; it, or null.
  HWND wait_requester() const;
  // Puts the window in front, as a user's click on it would.
  void activate() const;
  // Closes the window with its close box and the requester with its default button; the
  // requester's lines (its text split at its carriage returns), none when none came.
  std::vector<std::string> close_and_read_report() const;
  // The process's windows, top-level and child.
  long window_count() const;
  // The program's Unix process id (the newest process running its executable), or -1.
  long unix_pid() const;
};

// CPU time of a Unix process's threads, or of its main thread alone, in ms; -1 when unknown.
double unix_cpu_ms(long pid, bool main_thread_only);

// Real input: the pointer to a screen point, a left click at a window's centre, a key chord.
void move_pointer(int x, int y);
void click(HWND window);
void press_keys(std::initializer_list<WORD> keys);

// Screen pixels as 0x00RRGGBB, rows from the top.
std::vector<uint32_t> grab(const RECT& screen_rect);
std::vector<uint32_t> grab(HWND window);  // its client area, one pixel per pixel of the program
// The embedded picture (0 start, 1..6 faces) that the pixels show exactly (at a display
// scale: where the screen's smoothing keeps its colours), or -1.
int shown_picture(const std::vector<uint32_t>& pixels);
// Writes a screen rectangle as a 32-bit BMP file.
bool save_screenshot(const RECT& screen_rect, const std::string& windows_file);

// The die's name changes that the program announces, as an assistive tool outside it hears
// them: one per throw, when the thrown face shows, none during the animation.
class die_watch {
 public:
  explicit die_watch(const app& a);
  ~die_watch();
  // The names announced so far, in order; this thread's messages are handled first.
  const std::vector<std::string>& names();
  // Waits until n throws have been announced and the screen shows the face named last;
  // that face, or -1. Every picture the screen showed meanwhile is noted in shown.
  int wait_throws(size_t n, DWORD deadline_ms = 10000);
  std::vector<int> shown;

 private:
  std::vector<std::string> names_;
  HWINEVENTHOOK hook_;
  HWND die_;
};

// The requester's text split at its carriage returns.
std::vector<std::string> requester_lines(HWND box);
// Lines the stand-in browser launcher recorded, one per address it was given.
std::vector<std::string> opened_addresses();

}  // namespace e2e
