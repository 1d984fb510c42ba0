// Image gadgets: size taken from the picture, immediate repaint on a new picture, mouse
// actions as gadget events, and alpha pictures.
#include "runtime/image/image.h"
#include "tests/accessible_name.h"
#include "tests/gadget/gadget_test_support.h"
#include "tests/image/image_files.h"

namespace {

using gadget_tests::control_of;
using gadget_tests::queued;
using gadget_tests::take_gadget_events;
using gadget_tests::WindowFixture;
using test_access::accessible_name;

// The one event that gadget 4 of window 0 posts with this type.
std::vector<queued> only(int32_t type) { return {queued{EVENT_GADGET, 4, 0, type}}; }

class ImageGadget : public WindowFixture {
 protected:
  // A 24-bit picture of one colour (0xRRGGBB) with a 20 x 20 square of another at the top left.
  HANDLE picture(intptr_t number, int32_t size, uint32_t colour, uint32_t corner) {
    const std::vector<uint8_t> file = test_files::bmp(size, size, 24, {}, [=](int32_t x, int32_t file_row) {
      const int32_t y = size - 1 - file_row;  // the file's first row is the bottom one
      return x < 20 && y < 20 ? corner : colour;
    });
    return image_from_memory(number, file.data()) ? image_handle(number) : nullptr;
  }

  // Gadget 4 at 10, 10 showing the picture; its control.
  HWND image_gadget(HANDLE shown) {
    EXPECT_NE(nullptr, shown);
    EXPECT_NE(0, gadget_image(4, 10, 10, 100, 100, shown));
    return control_of(4);
  }
};

TEST_F(ImageGadget, TakesThePicturesSizeWhateverSizeWasGiven) {
  HANDLE die = picture(0, 300, 0x336699, 0xFFFFFF);
  ASSERT_NE(nullptr, die);
  const struct {
    intptr_t number;
    int32_t width, height;
    uint32_t flags;
    LONG expected;
  } cases[] = {
      {4, 300, 300, 0, 300},
      {5, 50, 70, 0, 300},
      {6, 500, 10, WS_EX_CLIENTEDGE, 304},
  };
  for (const auto& c : cases) {
    const intptr_t result = gadget_image(c.number, 10, 10, c.width, c.height, die, c.flags);
    HWND control = control_of(c.number);
    ASSERT_NE(nullptr, control) << "gadget " << c.number;
    EXPECT_EQ(reinterpret_cast<intptr_t>(control), result);
    EXPECT_EQ((RECT{10, 10, 10 + c.expected, 10 + c.expected}), placed(control))
        << "gadget " << c.number << ": the picture's size where it was put";
    EXPECT_EQ(0x50000100, GetWindowLongA(control, GWL_STYLE));
    EXPECT_EQ(static_cast<LONG>(c.flags), GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(c.number, reinterpret_cast<intptr_t>(GetPropA(control, "QX_ID")));
    EXPECT_EQ(reinterpret_cast<LRESULT>(die), SendMessageA(control, STM_GETIMAGE, 0, 0));
    EXPECT_EQ(GADGET_KIND_IMAGE, gadget_lookup(c.number)->kind->type);
  }

  // Without a picture the given size stays; the first picture set resizes the control.
  ASSERT_NE(0, gadget_image(7, 10, 10, 40, 30, nullptr));
  HWND empty = control_of(7);
  EXPECT_EQ((RECT{10, 10, 50, 40}), placed(empty));
  EXPECT_EQ(reinterpret_cast<intptr_t>(die), gadget_set_state(7, reinterpret_cast<intptr_t>(die)));
  EXPECT_EQ((RECT{10, 10, 310, 310}), placed(empty));
  // A null picture is forgotten, the size kept.
  EXPECT_EQ(0, gadget_set_state(7, 0));
  EXPECT_EQ((RECT{10, 10, 310, 310}), placed(empty));
  EXPECT_EQ(0, SendMessageA(empty, STM_GETIMAGE, 0, 0));

  // An icon takes its own size as well, also when set the class's own way, in wparam.
  const std::vector<uint8_t> icon_file = test_files::icon({{32, 32, 32, 0x00FF00}, {16, 16, 32, 0x0000FF}});
  ASSERT_NE(0, image_from_memory(1, icon_file.data()));
  gadget_set_state(7, reinterpret_cast<intptr_t>(image_handle(1)));
  EXPECT_EQ((RECT{10, 10, 42, 42}), placed(empty));
  const std::vector<uint8_t> small_file = test_files::icon({{16, 16, 32, 0x0000FF}});
  ASSERT_NE(0, image_from_memory(2, small_file.data()));
  HANDLE small = image_handle(2);
  EXPECT_EQ(reinterpret_cast<LRESULT>(small), SendMessageA(empty, STM_SETICON, reinterpret_cast<WPARAM>(small), 0));
  EXPECT_EQ(reinterpret_cast<LRESULT>(small), SendMessageA(empty, STM_GETICON, 0, 0));
  EXPECT_EQ((RECT{10, 10, 26, 26}), placed(empty));
}

// The colour (0xRRGGBB) of a control's client pixel, read back through its own device
// context: what its painting left, whether or not the display has shown it yet.
uint32_t pixel(HWND control, int x, int y) {
  HDC dc = GetDC(control);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(control, dc);
  return static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

// Handles the thread's messages until the control has no part left to paint.
bool painted(HWND control) {
  return test_time::wait_until([&] { return !GetUpdateRect(control, nullptr, FALSE); }, 3000,
                               [] { test_time::pump_messages(); });
}

TEST_F(ImageGadget, NewPictureIsOnScreenWhenSetStateReturns) {
  // Faces of the die: each is on screen the moment it is set, with no message handled
  // in between, as the throw animation shows them.
  const struct {
    uint32_t colour, corner;
  } looks[] = {{0x2040C0, 0xF0E010}, {0xC02040, 0x10E0F0}, {0x20C040, 0x000000}};
  HANDLE faces[3];
  for (int i = 0; i < 3; ++i) ASSERT_NE(nullptr, faces[i] = picture(i, 300, looks[i].colour, looks[i].corner));
  HWND control = image_gadget(faces[0]);
  ASSERT_TRUE(painted(control));
  ASSERT_EQ(0x2040C0u, pixel(control, 150, 150)) << std::hex << "the first face after painting";
  for (int i : {1, 2, 0, 1}) {
    gadget_set_state(4, reinterpret_cast<intptr_t>(faces[i]));
    EXPECT_EQ(looks[i].colour, pixel(control, 150, 150)) << std::hex << "face " << i << " centre";
    EXPECT_EQ(looks[i].colour, pixel(control, 299, 299)) << std::hex << "face " << i << " bottom right";
    EXPECT_EQ(looks[i].corner, pixel(control, 5, 5)) << std::hex << "face " << i << " top left, drawn upright";
  }

  // A disabled gadget looks the same once it has painted again.
  EnableWindow(control, FALSE);
  InvalidateRect(control, nullptr, TRUE);
  ASSERT_TRUE(painted(control));
  EXPECT_EQ(0xC02040u, pixel(control, 150, 150)) << std::hex;
  EXPECT_EQ(0x10E0F0u, pixel(control, 5, 5)) << std::hex;
}

TEST_F(ImageGadget, RightDoubleClickPostsType3AndSwallowsItsRelease) {
  HWND control = image_gadget(picture(0, 100, 0x808080, 0x000000));
  const struct {
    UINT press, release;
    int32_t type;
    const char* what;
  } clicks[] = {
      {WM_RBUTTONDOWN, WM_RBUTTONUP, GADGET_EVENT_RIGHT_CLICK, "a right click"},
      {WM_RBUTTONDBLCLK, WM_RBUTTONUP, GADGET_EVENT_RIGHT_DOUBLE_CLICK, "the double click, nothing for its release"},
      {WM_RBUTTONDOWN, WM_RBUTTONUP, GADGET_EVENT_RIGHT_CLICK, "the next click"},
      {WM_LBUTTONDBLCLK, WM_LBUTTONUP, GADGET_EVENT_LEFT_DOUBLE_CLICK, "a left double click"},
  };
  for (const auto& c : clicks) {
    SendMessageA(control, c.press, c.release == WM_RBUTTONUP ? MK_RBUTTON : MK_LBUTTON, MAKELPARAM(20, 20));
    SendMessageA(control, c.release, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(only(c.type), take_gadget_events()) << c.what;
  }
}

TEST_F(ImageGadget, MovingPastTheDragDistancePostsDragStartOnce) {
  HWND control = image_gadget(picture(0, 100, 0x808080, 0x000000));
  const int32_t cx = GetSystemMetrics(SM_CXDRAG), cy = GetSystemMetrics(SM_CYDRAG);
  ASSERT_GT(cx, 0);

  SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 40));
  EXPECT_EQ(control, GetCapture()) << "tracking the press";
  SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40 + cx, 40 - cy));
  EXPECT_TRUE(take_gadget_events().empty()) << "exactly the drag distance is no drag";
  SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 40 - cy - 1));
  EXPECT_EQ(only(GADGET_EVENT_DRAG_START), take_gadget_events());
  EXPECT_EQ(nullptr, GetCapture()) << "tracking ends with the drag start";
  SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(90, 90));
  SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(90, 90));
  EXPECT_TRUE(take_gadget_events().empty()) << "once per press";

  // Released before the distance: nothing from the gadget itself.
  SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 40));
  SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(41, 41));
  SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(41, 41));
  EXPECT_EQ(nullptr, GetCapture());
  SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(5, 95));
  EXPECT_TRUE(take_gadget_events().empty());

  // Positions left of and above the control are negative 16-bit values, not large ones.
  SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(-1), 2));
  EXPECT_TRUE(take_gadget_events().empty()) << "3 pixels left is within the distance";
  SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

// A 2 x 1 32-bit DIB section: a half-transparent white pixel and an opaque red one.
HANDLE alpha_picture(intptr_t number) {
  const std::vector<uint8_t> file = test_files::bmp(
      2, 1, 32, {}, [](int32_t x, int32_t) { return x == 0 ? 0x80FFFFFFu : 0xFFFF0000u; });
  return image_from_memory(number, file.data()) ? image_handle(number) : nullptr;
}

TEST_F(ImageGadget, AlphaPictureGetsAPremultipliedCopyThatBlendsAndGoesWithTheControl) {
  ASSERT_NE(nullptr, drawing_alpha_blend()) << "the platform has AlphaBlend";
  HANDLE picture_handle = alpha_picture(0);
  ASSERT_NE(nullptr, picture_handle);
  EXPECT_EQ(1, bitmap_has_alpha(picture_handle));

  image_gadget(picture_handle);
  ASSERT_NE(nullptr, gadget_lookup(4));
  HBITMAP copy = gadget_lookup(4)->alpha_copy;
  ASSERT_NE(nullptr, copy);
  DIBSECTION s{};
  ASSERT_EQ(static_cast<int>(sizeof s), GetObjectA(copy, sizeof s, &s));
  const auto* pixels = static_cast<const uint8_t*>(s.dsBm.bmBits);
  EXPECT_EQ(0x7F, pixels[0]) << "(255 * 128) >> 8";
  EXPECT_EQ(0x80, pixels[3]) << "alpha kept";
  EXPECT_EQ(0xFF, pixels[6]) << "opaque red unchanged";
  EXPECT_EQ((RECT{10, 10, 12, 11}), placed(control_of(4)));

  // The copy drawn over white: the half-transparent pixel lets half the white through.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dib_create(2, 1, 24));
  PatBlt(dc, 0, 0, 2, 1, WHITENESS);
  EXPECT_EQ(1, alpha_draw(dc, 0, 0, 0, 0, copy, nullptr, 255));
  EXPECT_NEAR(0x7F + 0x7F, GetRValue(GetPixel(dc, 0, 0)), 1) << "its own half and half the white";
  EXPECT_EQ(RGB(0xFF, 0, 0), GetPixel(dc, 1, 0));
  DeleteObject(SelectObject(dc, old));
  DeleteDC(dc);

  // A new picture replaces the copy; an opaque one needs none.
  HANDLE opaque = picture(1, 30, 0x112233, 0x445566);
  gadget_set_state(4, reinterpret_cast<intptr_t>(opaque));
  EXPECT_EQ(0u, GetObjectType(copy)) << "the old copy is deleted";
  EXPECT_EQ(nullptr, gadget_lookup(4)->alpha_copy);

  gadget_set_state(4, reinterpret_cast<intptr_t>(picture_handle));
  copy = gadget_lookup(4)->alpha_copy;
  ASSERT_NE(nullptr, copy);
  DestroyWindow(control_of(4));
  EXPECT_EQ(0u, GetObjectType(copy)) << "the copy goes with the control";
  EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(picture_handle)) << "the picture stays the image's";
}

TEST_F(ImageGadget, PixelsOfBitmapsWithoutAddressableMemoryAreCopied32Bit) {
  // A device-dependent bitmap has no pixel address: its pixels come as a 32-bit copy,
  // top row first, whatever its own depth. A monochrome one holds 32 times fewer bytes
  // than its copy.
  constexpr int32_t width = 64, height = 16;
  uint8_t bits[width / 8 * height] = {};            // top row first, black
  bits[width / 8 - 1] = bits[sizeof bits - 1] = 1;  // the last pixels of the top and the bottom row white
  HBITMAP device = CreateBitmap(width, height, 1, 1, bits);
  ASSERT_NE(nullptr, device);
  BITMAP description{};
  GetObjectA(device, sizeof description, &description);
  ASSERT_EQ(nullptr, description.bmBits);

  int32_t copied = 0;
  auto* pixels = static_cast<uint32_t*>(bitmap_pixels32(device, &copied));
  ASSERT_NE(nullptr, pixels);
  EXPECT_EQ(1, copied);
  EXPECT_EQ(0xFFFFFFu, pixels[width - 1] & 0xFFFFFF) << "top row's last pixel";
  EXPECT_EQ(0xFFFFFFu, pixels[width * height - 1] & 0xFFFFFF) << "bottom row's last pixel";
  EXPECT_EQ(0u, pixels[width * height - 2] & 0xFFFFFF) << "its neighbour";
  EXPECT_TRUE(HeapValidate(main_heap(), 0, nullptr)) << "the copy stayed inside its block";
  main_heap_free(pixels);
  DeleteObject(device);

  // A DIB section gives its own memory.
  HANDLE dib = alpha_picture(0);
  copied = 7;
  DIBSECTION s{};
  GetObjectA(dib, sizeof s, &s);
  EXPECT_EQ(s.dsBm.bmBits, bitmap_pixels32(dib, &copied));
  EXPECT_EQ(0, copied);
}

// The name changes that a hook in this process saw: all, and those of the watched
// control's client object.
HWND watched;
int all_changes, client_changes;
void CALLBACK note_name_change(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
  ++all_changes;
  client_changes += window == watched && object == OBJID_CLIENT && child == CHILDID_SELF;
}

TEST_F(ImageGadget, NameIsForAssistiveToolsAndNeverDrawn) {
  HANDLE face = picture(0, 300, 0x2040C0, 0xF0E010);
  HWND control = image_gadget(face);
  ASSERT_TRUE(painted(control));

  watched = control;
  all_changes = client_changes = 0;
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, note_name_change,
                                       GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(nullptr, hook);
  const char* const names[] = {"W\xFCrfel", "W\xFCrfel: 4", "W\xFCrfel: 6"};
  for (const char* name : names) {
    EXPECT_EQ(1, gadget_set_name(4, name));
    char text[64] = {};
    GetWindowTextA(control, text, sizeof text);
    EXPECT_STREQ(name, text);
    EXPECT_EQ(name, accessible_name(control));
    // The picture stays untouched: no text, no background of the class's own painting.
    ASSERT_TRUE(painted(control));
    int changed = 0;
    uint32_t seen = 0xF0E010;
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 20; ++x)
        if (pixel(control, x, y) != 0xF0E010u) ++changed, seen = pixel(control, x, y);
    EXPECT_EQ(0, changed) << std::hex << "pixels of the top left corner changed, one to " << seen << ": " << name;
    EXPECT_EQ(0x2040C0u, pixel(control, 150, 150)) << std::hex << name;
  }
  // Out-of-context events arrive as messages of this thread.
  test_time::wait_until([] { return client_changes >= 3; }, 2000, [] { test_time::pump_messages(); });
  test_time::pump_messages(0);
  UnhookWinEvent(hook);
  EXPECT_EQ(3, client_changes) << "one name change of the client object per name, of " << all_changes;

  EXPECT_EQ(0, gadget_set_name(99, "W\xFCrfel")) << "no gadget of that number";
  EXPECT_EQ(reinterpret_cast<LRESULT>(face), SendMessageA(control, STM_GETIMAGE, 0, 0)) << "the picture is kept";
}

}  // namespace
