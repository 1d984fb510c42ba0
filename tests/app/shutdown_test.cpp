// Ending the runtime with the program's objects still open, as the program's own end does:
// every window goes, GDI and USER objects return to where they were, the heaps are gone.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/assets.h"
#include "runtime/core/runtime.h"
#include "runtime/core/strbuf.h"
#include "runtime/gadget/gadget.h"
#include "runtime/image/image.h"
#include "runtime/sound/sound.h"
#include "runtime/window/window.h"
#include "runtime/window/window_object.h"

namespace {

BOOL CALLBACK add_window(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  EnumChildWindows(window, add_window, list);
  return TRUE;
}

// This thread's windows, top-level and child.
std::vector<HWND> thread_windows() {
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), add_window, reinterpret_cast<LPARAM>(&windows));
  std::sort(windows.begin(), windows.end());
  windows.erase(std::unique(windows.begin(), windows.end()), windows.end());
  return windows;
}

std::vector<HANDLE> process_heaps() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  return heaps;
}

struct object_counts {
  DWORD gdi, user;
  size_t windows, heaps;
};

object_counts count_objects() {
  return {GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS),
          thread_windows().size(), process_heaps().size()};
}

// What the program holds at its end: its pictures, the sound device with both sounds (the
// roll still playing), window 0 with the die and three buttons, and a second window.
struct open_objects {
  std::vector<HWND> windows;
  std::vector<HANDLE> pictures;
  HACCEL accelerators;
  HANDLE main_heap, string_heap;
};

open_objects open_everything() {
  open_objects o{};
  for (int32_t i = 0; i <= 6; ++i) {
    EXPECT_NE(0, image_from_memory(i, dice_picture(i))) << "picture " << i;
    o.pictures.push_back(image_handle(i));
  }
  EXPECT_NE(0, sound_init()) << "the test's ALSA device should open";
  EXPECT_NE(0, sound_from_memory(0, dice_click_sound));
  EXPECT_NE(0, sound_from_memory(1, dice_roll_sound));
  EXPECT_NE(0, sound_play(1));
  EXPECT_NE(0, window_open(0, 100, 100, 320, 360, "Tessarix V1.1", 0xCA0001));
  EXPECT_NE(0, gadget_image(4, 10, 10, 300, 300, image_handle(0)));
  EXPECT_NE(0, gadget_button(1, 10, 320, 50, 30, "START", 1));
  EXPECT_NE(0, gadget_button(2, 70, 320, 50, 30, "ENDE", 0));
  EXPECT_NE(0, gadget_button(3, 160, 320, 150, 30, "Brisgauer-Homepage", 0));
  gadget_set_name(4, "W\xFCrfel: 4");
  EXPECT_NE(0, window_open(1, 50, 50, 200, 100, "Zweites Fenster", 0));
  EXPECT_NE(0, gadget_image(5, 0, 0, 100, 100, image_handle(6)));
  window_object* zero = window_lookup(0);
  o.accelerators = zero ? zero->accel_table : nullptr;
  o.windows = thread_windows();
  o.main_heap = main_heap();
  o.string_heap = string_library().heap;
  return o;
}

// A round of start, open and end makes the platform's own objects that stay with the
// process once made (the OLE window of the requester library, the sound system's state,
// fonts): what the runtime leaves behind is counted after that.
TEST(RuntimeEnd, FreesEveryObjectStillOpen) {
  runtime_start();
  open_everything();
  runtime_end_libraries();

  const object_counts before = count_objects();
  const std::vector<HWND> windows_before = thread_windows();
  runtime_start();
  const open_objects open = open_everything();
  const object_counts during = count_objects();
  EXPECT_GE(during.windows, before.windows + 7) << "two windows and five gadgets";
  runtime_end_libraries();
  const object_counts after = count_objects();
  std::printf("GDI objects %lu, %lu, %lu; USER objects %lu, %lu, %lu (before, during, after)\n", before.gdi, during.gdi,
              after.gdi, before.user, during.user, after.user);

  for (HWND window : open.windows) {
    if (std::binary_search(windows_before.begin(), windows_before.end(), window)) continue;
    char title[64] = {}, class_name[64] = {};
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, class_name, sizeof class_name);
    EXPECT_FALSE(IsWindow(window)) << "window \"" << title << "\" of class " << class_name << " is still there";
  }
  EXPECT_EQ(before.windows, after.windows) << "windows of this thread";
  for (size_t i = 0; i < open.pictures.size(); ++i)
    EXPECT_EQ(0u, GetObjectType(open.pictures[i])) << "picture " << i << " is deleted";
  ASSERT_NE(nullptr, open.accelerators);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0, CopyAcceleratorTableA(open.accelerators, nullptr, 0)) << "the accelerator table is destroyed";
  // NOTE: Wine answers GetGuiResources with 0 for every process; there the per-object
  // checks above stand in for these counts, which hold on Windows.
  EXPECT_EQ(before.gdi, after.gdi) << "GDI objects (during: " << during.gdi << ")";
  EXPECT_EQ(before.user, after.user) << "USER objects (during: " << during.user << ")";

  const std::vector<HANDLE> heaps = process_heaps();
  EXPECT_EQ(before.heaps, heaps.size()) << "heaps of the process (during: " << during.heaps << ")";
  EXPECT_EQ(heaps.end(), std::find(heaps.begin(), heaps.end(), open.main_heap)) << "the main heap is destroyed";
  EXPECT_EQ(heaps.end(), std::find(heaps.begin(), heaps.end(), open.string_heap)) << "the string heap is destroyed";
  EXPECT_EQ(nullptr, main_heap());
  EXPECT_EQ(nullptr, string_library().heap);
}

}  // namespace
