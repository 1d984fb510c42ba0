// The gadget table, the creation tail and the clean-up when a control goes, seen through
// buttons.
#include <cstdlib>
#include <string>

#include "tests/gadget/gadget_test_support.h"

namespace {

using gadget_tests::control_of;
using gadget_tests::queued;
using gadget_tests::take_gadget_events;
using gadget_tests::take_queued;
using gadget_tests::WindowFixture;

class GadgetRegistry : public WindowFixture {};

TEST_F(GadgetRegistry, ButtonsCarryTheirStyleNumberAndFont) {
  const struct {
    intptr_t number;
    const char* text;
    uint32_t flags;
    LONG style;
  } cases[] = {
      {1, "START", 1, 0x50030001},
      {2, "ENDE", 0, 0x50030000},
      {3, "Brisgauer-Homepage", 0, 0x50030000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const intptr_t result = gadget_button(c.number, 10, 320, 100, 25, c.text, c.flags);
    HWND control = control_of(c.number);
    ASSERT_NE(nullptr, control);
    EXPECT_EQ(reinterpret_cast<intptr_t>(control), result) << "a fixed number gives the handle";
    EXPECT_EQ(c.style, GetWindowLongA(control, GWL_STYLE));
    EXPECT_EQ(0, GetWindowLongA(control, GWL_EXSTYLE));
    EXPECT_EQ(c.number, GetWindowLongPtrA(control, GWLP_ID));
    EXPECT_EQ(c.number, reinterpret_cast<intptr_t>(GetPropA(control, "QX_ID")));
    EXPECT_EQ(GetStockObject(DEFAULT_GUI_FONT), reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    EXPECT_EQ(window, GetParent(control));
    char text[64] = {}, class_name[16] = {};
    GetWindowTextA(control, text, sizeof text);
    GetClassNameA(control, class_name, sizeof class_name);
    EXPECT_STREQ(c.text, text);
    EXPECT_STREQ("Button", class_name);
    EXPECT_EQ(GADGET_KIND_BUTTON, gadget_lookup(c.number)->kind->type);
    EXPECT_EQ(160, gadget_lookup(c.number)->kind->size);
  }

  ASSERT_NE(0, gadget_button(5, 0, 0, 50, 20, nullptr));
  char text[8] = "x";
  EXPECT_EQ(0, GetWindowTextA(control_of(5), text, sizeof text)) << "a null text is an empty one";
  EXPECT_STREQ("", text);
}

// Every text that the runtime hands to a window reads, through the window's own procedures,
// as the characters its 1252 bytes are, whatever the system's ANSI code page (the build runs
// this under 1251 as well); narrow readers in a 1252 process read the same bytes back.
TEST_F(GadgetRegistry, TextsReadAsThemselvesWideAndAsTheirBytesNarrow) {
  if (const char* asked = std::getenv("TESSARIX_CODE_PAGE")) {
    ASSERT_EQ(std::strtoul(asked, nullptr, 10), GetACP()) << "is the locale made? (scripts/install-deps.sh)";
  }
  ASSERT_NE(0, window_open(1, 0, 0, 200, 100, "Fenster f\xFCr \x84Gr\xFC\xDF\x93 \x80", WINDOW_NO_GADGET_LIST));
  ASSERT_NE(0, gadget_button(6, 0, 0, 80, 20, "Z\xE4hlen"));
  ASSERT_NE(0, gadget_button(7, 0, 30, 80, 20, "x"));
  ASSERT_EQ(1, gadget_set_name(7, "\x80 5 \x96 \xC4"));
  const struct {
    HWND window;
    const char* text;
  } cases[] = {{window_handle(1), "Fenster f\xFCr \x84Gr\xFC\xDF\x93 \x80"},
               {control_of(6), "Z\xE4hlen"},
               {control_of(7), "\x80 5 \x96 \xC4"}};
  for (const auto& c : cases) {
    wchar_t expected[64] = {}, wide[64] = {};
    MultiByteToWideChar(1252, 0, c.text, -1, expected, 64);
    GetWindowTextW(c.window, wide, 64);
    EXPECT_EQ(std::wstring(expected), std::wstring(wide)) << c.text << " (code page " << GetACP() << ")";
    char narrow[64] = {};
    GetWindowTextA(c.window, narrow, sizeof narrow);
    if (GetACP() == 1252) {
      EXPECT_STREQ(c.text, narrow);
    }
  }
}

TEST_F(GadgetRegistry, DynamicGadgetIsNamedByItsNumberEverywhere) {
  const intptr_t number = gadget_button(OBJECT_ANY, 0, 0, 60, 20, "Dyn");
  ASSERT_NE(0, number);
  HWND control = control_of(number);
  ASSERT_NE(nullptr, control);
  EXPECT_NE(reinterpret_cast<intptr_t>(control), number) << "the number, not the handle";
  EXPECT_EQ(number, GetWindowLongPtrA(control, GWLP_ID));
  EXPECT_EQ(number, reinterpret_cast<intptr_t>(GetPropA(control, "QX_ID")));

  DestroyWindow(control);
  EXPECT_EQ(nullptr, gadget_lookup(number)) << "the dynamic record is released with its control";
  EXPECT_EQ(0, gadget_set_state(number, 1));
}

TEST_F(GadgetRegistry, ButtonStateIsItsCheckMark) {
  // A check box takes the check mark that BM_SETCHECK sets; any non-zero state checks it.
  ASSERT_NE(0, gadget_button(6, 0, 0, 80, 20, "Box", BS_AUTOCHECKBOX));
  HWND control = control_of(6);
  const struct {
    intptr_t state;
    LRESULT check;
  } cases[] = {{7, 1}, {0, 0}, {-1, 1}, {1, 1}, {0, 0}};
  for (const auto& c : cases) {
    gadget_set_state(6, c.state);
    EXPECT_EQ(c.check, SendMessageA(control, BM_GETCHECK, 0, 0)) << "state " << c.state;
    EXPECT_EQ(c.check, gadget_lookup(6)->kind->get_state(gadget_lookup(6))) << "state " << c.state;
  }
  EXPECT_EQ(0, gadget_set_state(49, 1)) << "no gadget 49";
  EXPECT_EQ(0, gadget_set_state(100000, 1));
}

TEST_F(GadgetRegistry, RecreatingANumberDestroysTheOldControlAndItsEvents) {
  ASSERT_NE(0, gadget_button(4, 0, 0, 60, 20, "Old"));
  HWND old_control = control_of(4);
  ASSERT_NE(0, gadget_button(7, 0, 30, 60, 20, "Other"));
  event_post(EVENT_GADGET, 4, 0, 0);
  event_post(EVENT_GADGET, 7, 0, 0);
  event_post(EVENT_GADGET, 4, 0, 14002);

  ASSERT_NE(0, gadget_button(4, 0, 60, 60, 20, "New"));
  HWND new_control = control_of(4);
  EXPECT_NE(old_control, new_control);
  EXPECT_FALSE(IsWindow(old_control)) << "the first control is destroyed";
  EXPECT_EQ(4, GetWindowLongPtrA(new_control, GWLP_ID));
  EXPECT_EQ((std::vector<queued>{{EVENT_GADGET, 7, 0, 0}}), take_gadget_events())
      << "gadget 4's events went with its first control";
}

// Sits on top of a gadget control and reads what the gadget's clean-up left behind, the
// moment WM_NCDESTROY has passed through it and before the handle is gone.
struct destruction_view {
  WNDPROC gadget_procedure;
  intptr_t identifier = 0;
  HANDLE id_property = reinterpret_cast<HANDLE>(1);
  bool record_released = false;
  intptr_t number = 0;
} view;

LRESULT CALLBACK watching_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const LRESULT result = CallWindowProcW(view.gadget_procedure, window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    view.identifier = GetWindowLongPtrA(window, GWLP_ID);
    view.id_property = GetPropA(window, "QX_ID");
    view.record_released = gadget_lookup(view.number) == nullptr;
  }
  return result;
}

TEST_F(GadgetRegistry, DestructionLeavesIdentifierMinusOneAndNoProperty) {
  ASSERT_NE(0, gadget_button(8, 0, 0, 60, 20, "Gone"));
  HWND control = control_of(8);
  view = destruction_view{};
  view.number = 8;
  view.gadget_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watching_procedure)));
  ASSERT_EQ(reinterpret_cast<WNDPROC>(gadget_procedure), view.gadget_procedure) << "the gadget's procedure is wide";
  event_post(EVENT_GADGET, 8, 0, 0);

  DestroyWindow(control);
  EXPECT_EQ(-1, view.identifier);
  EXPECT_EQ(nullptr, view.id_property) << "QX_ID is removed";
  EXPECT_TRUE(view.record_released);
  EXPECT_EQ(0, gadget_set_state(8, 1)) << "nothing to set";
  EXPECT_TRUE(take_gadget_events().empty()) << "its queued event is dropped";
  // The number is free for a new gadget, without a free routine to run.
  ASSERT_NE(0, gadget_button(8, 0, 0, 60, 20, "Back"));
}

TEST_F(GadgetRegistry, GadgetEventsNameTheRuntimeWindow) {
  // Window 0 holds QX_WindowID 1; a control nested in a plain child still reports window 0.
  HWND panel = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, window, nullptr,
                               program_module(), nullptr);
  ASSERT_NE(nullptr, panel);
  gadget_list_use(panel);
  ASSERT_NE(0, gadget_button(9, 5, 5, 60, 20, "Inner"));
  HWND control = control_of(9);
  ASSERT_EQ(panel, GetParent(control));
  EXPECT_EQ(window, gadget_top_window(control));

  gadget_post_event(control, 2);
  gadget_post_event(control, 2);  // merged with the identical last event
  gadget_post_event(control, 3);
  EXPECT_EQ((std::vector<queued>{{EVENT_GADGET, 9, 0, 2}, {EVENT_GADGET, 9, 0, 3}}), take_queued());

  // A top-level window without the property is its own top window.
  HWND loose = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, program_module(), nullptr);
  EXPECT_EQ(loose, gadget_top_window(loose));
  DestroyWindow(loose);
}

using GadgetLibrary = test_runtime::RuntimeTest;

TEST_F(GadgetLibrary, WithoutAListCreationFailsAndTouchesNoSlot) {
  EXPECT_EQ(nullptr, gadget_list_use(nullptr)) << "no window opened, no current list";
  EXPECT_EQ(0, gadget_button(1, 0, 0, 50, 20, "START", 1));
  EXPECT_EQ(0, gadget_button(OBJECT_ANY, 0, 0, 50, 20, "ENDE"));
  EXPECT_EQ(0, gadget_image(4, 0, 0, 50, 20, nullptr));
  EXPECT_EQ(nullptr, gadget_lookup(1));
  EXPECT_EQ(nullptr, gadget_lookup(4));
}

}  // namespace
