#include <string>

#include "runtime/core/registry.h"
#include "runtime/gadget/gadget.h"
#include "runtime/image/image.h"
#include "tests/screen_scale.h"
#include "tests/test_time.h"
#include "window_test_support.h"

#include <uxtheme.h>

namespace {

using WindowOpen = WindowTest;

int position_changes = 0;
LRESULT CALLBACK count_position_changes(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_WINDOWPOSCHANGING) ++position_changes;
  return CALLBACK_DEFAULT;
}

// Also run with the system scaled to 150 % (tests/window/CMakeLists.txt), where the
// platform's formula for the frame and the window's own frame differ.
TEST_F(WindowOpen, TheApplicationWindowHasItsClientSizeCentredWithItsOwnClassAndKeepsItsGeometry) {
  if (const int asked = screen_scale::asked_dpi()) {
    ASSERT_EQ(asked, screen_scale::system_dpi()) << "the scale took";
  }
  intptr_t result = window_open(0, 100, 100, 320, 360, "Tessarix V1.1", 0xCA0001);
  HWND window = window_handle(0);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(reinterpret_cast<intptr_t>(window), result) << "a fixed number gives the handle";
  settle();

  EXPECT_EQ((RECT{0, 0, 320, 360}), client_rect(window));
  const RECT outer = window_rect(window);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2, outer.left) << "centred, 100 unused";
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2, outer.top) << "centred, 100 unused";

  // The same geometry given, and the loop's re-apply after every wait: nothing reaches the
  // platform, nothing moves.
  window_lookup(0)->callback = count_position_changes;
  position_changes = 0;
  EXPECT_NE(0, window_resize(0, outer.left, outer.top, 320, 360));
  for (int i = 0; i < 3; ++i) EXPECT_NE(0, window_resize(0, IGNORE, IGNORE, IGNORE, IGNORE));
  settle();
  EXPECT_EQ(0, position_changes) << "a platform call for the geometry the window has";
  EXPECT_EQ(outer, window_rect(window)) << "the outer size and place are kept";
  EXPECT_EQ((RECT{0, 0, 320, 360}), client_rect(window)) << "the client area is kept";
  window_lookup(0)->callback = nullptr;

  char text[64] = {};
  GetClassNameA(window, text, sizeof text);
  EXPECT_STREQ("WindowClass_0", text);
  GetWindowTextA(window, text, sizeof text);
  EXPECT_STREQ("Tessarix V1.1", text);
  auto style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  EXPECT_EQ(static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_POPUP))
      << std::hex << "style 0x" << style;
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(1, reinterpret_cast<intptr_t>(GetPropA(window, "QX_WindowID")));
  EXPECT_EQ(window, gadget_list_use(nullptr)) << "a new window is the current gadget list";

  window_object* object = window_lookup(0);
  ASSERT_NE(nullptr, object);
  EXPECT_EQ(2, object->accel_count);
  EXPECT_EQ(-1, object->reserved);
  ACCEL entries[4] = {};
  ASSERT_EQ(2, CopyAcceleratorTableA(object->accel_table, entries, 4));
  EXPECT_EQ(FVIRTKEY | FNOINVERT, entries[0].fVirt & ~0x80);
  EXPECT_EQ(VK_TAB, entries[0].key);
  EXPECT_EQ(CMD_TAB_NEXT, entries[0].cmd);
  EXPECT_EQ(FVIRTKEY | FNOINVERT | FSHIFT, entries[1].fVirt & ~0x80);
  EXPECT_EQ(CMD_TAB_PREVIOUS, entries[1].cmd);
}

TEST_F(WindowOpen, OpeningANumberAgainFreesTheFirstWindowItsClassAndItsEvents) {
  HWND first = open(0, "first");
  HWND other = open(1, "other");
  SendMessageA(first, WM_CLOSE, 0, 0);
  SendMessageA(other, WM_CLOSE, 0, 0);
  ASSERT_EQ(2, event_queue_length());

  ASSERT_NE(0, window_open(0, 0, 0, 200, 100, "second", WINDOW_INVISIBLE));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_NE(first, window_handle(0));
  EXPECT_EQ(EVENT_CLOSE_WINDOW, event_queue_take()) << "the other window's event stays";
  EXPECT_EQ(1, library->working.window);
  EXPECT_EQ(0, event_queue_take()) << "the first window's event went with it";

  window_free(0);
  window_free(1);
  WNDCLASSA info;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetClassInfoA(program_module(), "WindowClass_0", &info)) << "the class went with the window";
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST), GetLastError());
  EXPECT_EQ(nullptr, window_handle(0));
  EXPECT_EQ(0, window_resize(0, IGNORE, IGNORE, IGNORE, IGNORE)) << "no window, no resize";
  window_free(0);  // a number without a window: nothing happens
}

TEST_F(WindowOpen, ADynamicWindowIsNamedByItsNumber) {
  intptr_t number = window_open(OBJECT_ANY, IGNORE, IGNORE, 150, 80, nullptr, WINDOW_INVISIBLE | WINDOW_NO_GADGET_LIST);
  ASSERT_NE(0, number);
  HWND window = window_handle(number);
  ASSERT_NE(nullptr, window);
  EXPECT_NE(reinterpret_cast<intptr_t>(window), number) << "the dynamic number, not the handle";
  char name[48] = {};
  GetClassNameA(window, name, sizeof name);
  EXPECT_EQ("WindowClass_" + std::to_string(number), name);
  EXPECT_EQ(number + 1, reinterpret_cast<intptr_t>(GetPropA(window, "QX_WindowID")));
  GetWindowTextA(window, name, sizeof name);
  EXPECT_STREQ("", name) << "a missing title is the empty text";
  EXPECT_NE(window, gadget_list_use(nullptr)) << "asked not to become the gadget list";
  window_free(number);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(nullptr, window_handle(number));
}

TEST_F(WindowOpen, FlagsGiveTheStyleAndTheFirstShowing) {
  struct row {
    uint32_t flags;
    DWORD style_mask;
    DWORD style;
    DWORD ex_style_mask;
    DWORD ex_style;
    bool visible;
    bool zoomed;
  } rows[] = {
      {0, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, WS_CAPTION, 0, 0, true, false},
      {WINDOW_INVISIBLE, WS_CAPTION | WS_SYSMENU, WS_CAPTION, 0, 0, false, false},
      {WINDOW_TOOL | WS_SYSMENU | WS_MINIMIZEBOX, WS_CAPTION | WS_MINIMIZEBOX, WS_CAPTION, WS_EX_TOOLWINDOW,
       WS_EX_TOOLWINDOW, true, false},
      {WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MAXIMIZE, WS_MAXIMIZE, WS_MAXIMIZE, 0, 0, true,
       true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(::testing::Message() << std::hex << "flags 0x" << r.flags);
    HWND window = open(2, "flags", r.flags, 200, 120, 10, 10);  // the window of the row before goes
    EXPECT_EQ(r.style, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & r.style_mask);
    EXPECT_EQ(r.ex_style, static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & r.ex_style_mask);
    EXPECT_EQ(r.visible, IsWindowVisible(window) != 0);
    EXPECT_EQ(r.zoomed, IsZoomed(window) != 0);
    EXPECT_EQ(r.zoomed ? 2 : 0, window_lookup(2)->min_max_state);
  }
}

TEST_F(WindowOpen, ResizeTakesClientSizesAndLeavesAnUnchangedOrMinimisedWindowAlone) {
  HWND window = open(0, "resize", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 300, 200, 40, 30);
  window_lookup(0)->callback = count_position_changes;
  const RECT before = window_rect(window);
  position_changes = 0;
  EXPECT_NE(0, window_resize(0, IGNORE, IGNORE, IGNORE, IGNORE));
  EXPECT_NE(0, window_resize(0, before.left, before.top, 300, 200)) << "the same geometry, given";
  EXPECT_EQ(0, position_changes) << "no platform call for the geometry the window has";

  ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(test_time::wait_until([&] { return IsIconic(window) != 0; }, 2000, [] { test_time::pump_messages(); }));
  settle();
  position_changes = 0;
  for (int i = 0; i < 3; ++i) EXPECT_NE(0, window_resize(0, IGNORE, IGNORE, IGNORE, IGNORE));
  EXPECT_EQ(0, position_changes) << "the icon's rectangle is not applied to a minimised window";
  ShowWindow(window, SW_RESTORE);
  ASSERT_TRUE(test_time::wait_until([&] { return !IsIconic(window); }, 2000, [] { test_time::pump_messages(); }));
  settle();
  EXPECT_EQ(before, window_rect(window)) << "restored in place";

  struct row {
    int32_t width, height;
    int32_t client_width, client_height;
  } rows[] = {{250, 150, 250, 150}, {IGNORE, 120, 250, 120}, {180, IGNORE, 180, 120}};
  for (const row& r : rows) {
    position_changes = 0;
    EXPECT_NE(0, window_resize(0, IGNORE, IGNORE, r.width, r.height));
    EXPECT_LT(0, position_changes) << "a new size reaches the platform";
    settle();
    EXPECT_EQ((RECT{0, 0, r.client_width, r.client_height}), client_rect(window))
        << "width " << r.width << ", height " << r.height;
    const RECT after = window_rect(window);
    EXPECT_EQ(before.left, after.left) << "the position stays";
    EXPECT_EQ(before.top, after.top) << "the position stays";
  }
}

TEST_F(WindowOpen, ResizeCountsTheMenuBarOnlyWhenTheHeightIsKept) {
  HWND window = open(0, "menu", WS_CAPTION | WS_SYSMENU | WINDOW_INVISIBLE, 300, 200, 40, 30);
  HMENU menu = CreateMenu();
  AppendMenuA(menu, MF_STRING, 100, "Datei");
  SetMenu(window, menu);
  const LONG height_under_menu = client_rect(window).bottom;
  ASSERT_LT(height_under_menu, 200) << "the menu bar took its height from the client area";
  EXPECT_NE(0, window_resize(0, IGNORE, IGNORE, 280, IGNORE));
  EXPECT_EQ((RECT{0, 0, 280, height_under_menu}), client_rect(window)) << "height kept: the menu bar is counted";
  EXPECT_NE(0, window_resize(0, IGNORE, IGNORE, 280, 200));
  EXPECT_EQ(200 - GetSystemMetrics(SM_CYMENU), client_rect(window).bottom)
      << "a given height does not count the menu bar";
}

TEST_F(WindowOpen, EraseAroundGadgetsCutsOutPushButtonsOnly) {
  // Visible: the controls of a hidden window are invisible too, and nothing is cut out.
  HWND window = open(0, "erase", WINDOW_NO_GADGET_LIST);
  make_button(window, 1, 10, 10);
  CreateWindowExA(0, "Button", "x", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 110, 10, 80, 24, window, nullptr,
                  program_module(), nullptr);
  for (int i = 0; i < 3; ++i) window_set_erase_around_gadgets(0, 1);
  EXPECT_EQ(&window_erase_around_gadgets, window_lookup(0)->erase_routine);

  // Draw into a memory bitmap: black first, then erased; only pixels outside the push
  // button take the button-face colour.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dib_create(200, 100, 24));
  PatBlt(dc, 0, 0, 200, 100, BLACKNESS);
  EXPECT_EQ(0, window_erase_around_gadgets(dc, window));
  COLORREF face = GetNearestColor(dc, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 20, 20)) << "under the push button";
  EXPECT_EQ(face, GetPixel(dc, 120, 20)) << "under the check box";
  EXPECT_EQ(face, GetPixel(dc, 100, 80)) << "the free background";
  HRGN clip = CreateRectRgn(0, 0, 1, 1);
  EXPECT_EQ(0, GetClipRgn(dc, clip)) << "the device context's clipping is given back";
  DeleteObject(clip);
  DeleteObject(SelectObject(dc, old));
  DeleteDC(dc);

  window_set_erase_around_gadgets(0, 0);
  EXPECT_EQ(nullptr, window_lookup(0)->erase_routine);
  window_set_erase_around_gadgets(7, 1);  // no window: ignored
}

TEST_F(WindowOpen, EraseThroughAGadgetsOwnDeviceContextPaintsUnderThatGadget) {
  // A themed control asks for its parent's background through its own device context,
  // moved so that the parent's client coordinates fall on it. Under the asking button
  // the background is painted; where a sibling lies over it the sibling keeps its pixels.
  HWND window = open(0, "parent background", WINDOW_NO_GADGET_LIST);
  HWND asking = CreateWindowExA(0, "Button", "a", WS_CHILD | WS_VISIBLE, 10, 10, 80, 40, window, nullptr,
                                program_module(), nullptr);
  make_button(window, 2, 70, 30);  // over the asking button's lower right corner
  window_set_erase_around_gadgets(0, 1);
  settle();

  HDC dc = GetDC(asking);
  PatBlt(dc, 0, 0, 80, 40, BLACKNESS);
  SetLastError(0xdeadbeef);
  HRESULT drawn = DrawThemeParentBackground(asking, dc, nullptr);
  EXPECT_EQ(S_OK, drawn) << "error " << GetLastError();
  COLORREF face = GetNearestColor(dc, GetSysColor(COLOR_BTNFACE));
  const struct {
    int x, y;
    COLORREF expected;
    const char* where;
  } points[] = {{2, 2, face, "a corner"},
                {30, 25, face, "where its own cut-out would land in client coordinates"},
                {63, 23, RGB(0, 0, 0), "under the sibling, at its place in the button's coordinates"}};
  for (const auto& p : points) EXPECT_EQ(p.expected, GetPixel(dc, p.x, p.y)) << p.where;
  HRGN clip = CreateRectRgn(0, 0, 1, 1);
  EXPECT_EQ(0, GetClipRgn(dc, clip)) << "the device context's clipping is given back";
  DeleteObject(clip);
  ReleaseDC(asking, dc);
}

TEST_F(WindowOpen, TheGadgetListFollowsTheWindowsAndForgetsADestroyedOne) {
  HWND a = open(0, "a");
  HWND b = open(1, "b");
  EXPECT_EQ(nullptr, gadget_list_use(reinterpret_cast<HWND>(static_cast<intptr_t>(0x7654320)))) << "no window";
  EXPECT_EQ(b, gadget_list_use(nullptr)) << "the current list stays";
  EXPECT_EQ(b, gadget_list_use(a)) << "the previous list comes back";
  EXPECT_EQ(a, gadget_list_use(nullptr));
  EXPECT_EQ(a, gadget_state()->current_list) << "a's own saved state is back";
  window_free(0);
  EXPECT_EQ(nullptr, gadget_list_use(nullptr)) << "the destroyed current list is forgotten";
  EXPECT_EQ(nullptr, gadget_list_use(b)) << "no previous list";
  EXPECT_EQ(b, gadget_list_use(nullptr));
}

TEST(DrawingSupport, FindsAlphaBlendAtStartAndLetsItGoAtTheEnd) {
  runtime_start();
  EXPECT_NE(nullptr, drawing_alpha_blend());
  runtime_end_libraries();
  EXPECT_EQ(nullptr, drawing_alpha_blend());
}

}  // namespace
