// The screen as the user sees it when the system is scaled (125, 150, 200 %): tests that run
// at a scale (the runner's TESSARIX_WINE_DPI) read the system's DPI and windows in the
// screen's own pixels here, while the programs under test see 96-dpi coordinates.
#pragma once

#include <windows.h>

#include <string>

#include "tests/wine_paths.h"

namespace screen_scale {

// The scale the runner set, in dots per inch; 0 when the run is not scaled.
inline int asked_dpi() {
  const std::string asked = wine_paths::setting("TESSARIX_WINE_DPI");
  return asked.empty() ? 0 : std::stoi(asked);
}

// For as long as it lives, this thread sees the screen in its own pixels.
// NOTE: a program that declares no DPI awareness gets every window's rectangle and the screen
// in 96-dpi coordinates. A thread switched to the system's DPI awareness gets them in screen
// pixels; under Wine 10 per-monitor awareness still gets the 96-dpi ones.
class screen_pixels {
 public:
  screen_pixels() {
    using set_context = HANDLE(WINAPI*)(HANDLE);
    set_ = reinterpret_cast<set_context>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    if (set_) before_ = set_(kSystemAware);
  }
  ~screen_pixels() {
    if (before_) set_(before_);
  }
  screen_pixels(const screen_pixels&) = delete;
  screen_pixels& operator=(const screen_pixels&) = delete;
  // Whether the switch took (the platform has per-thread awareness).
  bool ok() const { return before_ != nullptr; }

 private:
  static inline const HANDLE kSystemAware = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));
  HANDLE(WINAPI* set_)(HANDLE) = nullptr;
  HANDLE before_ = nullptr;
};

// The system's DPI as the screen has it (96 unscaled); 0 when it cannot be read.
inline int system_dpi() {
  screen_pixels pixels;
  if (!pixels.ok()) return 0;
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// A length of the program's 96-dpi coordinates in screen pixels at dpi.
inline int scaled(int length, int dpi) { return MulDiv(length, dpi, 96); }

}  // namespace screen_scale
