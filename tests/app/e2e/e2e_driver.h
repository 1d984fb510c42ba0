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

#include "tests/test_time.h"

namespace e2e {

// A path of the runner's (Unix) file system as the driver sees it under Wine.
std::string windows_path(const std::string& unix_path);
// An environment variable set by the runner, "" when missing.
std::string setting(const char* name);

struct app {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;  // "Tessarix V1.1"
  std::string program;  // the program file to start; empty: the build's Tessarix.exe
  ~app();
  // Starts the program (the audio sink's file is removed first) and waits for its window,
  // looking every step_ms. Deadlines here are scaled by the run's time factor.
  bool start(DWORD deadline_ms = 30000, DWORD step_ms = 20);
  HWND control(const char* class_name, const char* text) const;  // text null: any
  HWND image_gadget() const { return control("Static", nullptr); }
  HWND button(const char* text) const { return control("Button", text); }
  // Waits for the process to end; its exit code, or -1 on time-out.
  long wait_exit(DWORD deadline_ms);
  // The requester (a dialog box of the program's thread), or null.
  HWND requester() const;
  // The process's windows, top-level and child.
  long window_count() const;
};

// Real input: a left click at a screen point, at a window's centre, and a key chord.
void click_screen(int x, int y);
void move_pointer(int x, int y);
void click(HWND window);
void press_keys(std::initializer_list<WORD> keys);

// Screen pixels as 0x00RRGGBB, rows from the top.
std::vector<uint32_t> grab(const RECT& screen_rect);
std::vector<uint32_t> grab(HWND window);  // its client area
// The embedded picture i (0 start, 1..6 faces) decoded from its BMP file, same layout.
std::vector<uint32_t> picture(int i);
// The picture (0..6) that the pixels show exactly, or -1.
int shown_picture(const std::vector<uint32_t>& pixels);
// Writes a screen rectangle as a 24-bit BMP file.
bool save_screenshot(const RECT& screen_rect, const std::string& windows_file);

// Polls until the condition holds or the deadline (scaled by the run's time factor) passes.
template <class F>
bool wait_for(F condition, DWORD deadline_ms, DWORD step_ms = 20) {
  deadline_ms = test_time::scaled_ms(deadline_ms);
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > deadline_ms) return false;
    Sleep(step_ms);
  }
}

// The sounds in the audio sink's file (16-bit stereo at 44100 Hz): runs of sound, each
// with its start and length in milliseconds; silences shorter than gap_ms join runs.
// gap_ms counts the zero runs of 64 frames or more inside a run, gap_before_ms those since
// the run before: where the mixer missed a period under load it writes exact zeros.
struct sound_run {
  double start_ms, length_ms;
  int peak;
  double gap_ms, gap_before_ms;
};
std::vector<sound_run> sound_runs(int gap_ms);
// Lines the stand-in browser launcher recorded, one per address it was given.
std::vector<std::string> opened_addresses();

}  // namespace e2e
