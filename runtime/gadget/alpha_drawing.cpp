// Drawing of 32-bit pictures with per-pixel alpha through the platform's AlphaBlend, when
// the drawing support found it at start-up. Without it every routine here does nothing
// and image gadgets draw every picture opaque.
#include "runtime/core/runtime.h"
#include "runtime/gadget/gadget.h"
#include "runtime/image/dib_layout.h"
#include "runtime/window/window.h"

namespace {

BITMAPINFO header_32(int32_t width, int32_t height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace

int32_t bitmap_has_alpha(HANDLE handle) {
  if (!drawing_alpha_blend() || GetObjectType(handle) != OBJ_BITMAP) return 0;
  DIBSECTION section{};
  // A 32-bit DIB section counts as having alpha whatever its alpha bytes hold.
  if (GetObjectA(handle, sizeof(section), &section) == sizeof(section)) return section.dsBm.bmBitsPixel == 32 ? 1 : 0;
  BITMAP description{};
  if (!GetObjectA(handle, sizeof(description), &description) || description.bmBitsPixel != 32) return 0;
  int32_t copied = 0;
  auto* pixels = static_cast<const uint8_t*>(bitmap_pixels32(handle, &copied));
  if (!pixels) return 0;
  const int32_t stride = dib_row_stride(description.bmWidth, 32);
  int32_t found = 0;
  for (int32_t row = 0; row < description.bmHeight && !found; ++row)
    for (int32_t x = 0; x < description.bmWidth; ++x)
      if (pixels[static_cast<size_t>(row) * stride + static_cast<size_t>(x) * 4 + 3]) {
        found = 1;
        break;
      }
  if (copied) main_heap_free(const_cast<uint8_t*>(pixels));
  return found;
}

void* bitmap_pixels32(HANDLE handle, int32_t* copied) {
  BITMAP description{};
  if (!GetObjectA(handle, sizeof(description), &description)) return nullptr;
  if (description.bmBits) {
    *copied = 0;
    return description.bmBits;
  }
  *copied = 1;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  // The buffer holds what is asked for, 32 bits per pixel, whatever the bitmap's own depth.
  const size_t bytes = static_cast<size_t>(dib_row_stride(description.bmWidth, 32)) * description.bmHeight;
  void* buffer = main_heap_alloc(bytes);
  if (buffer) {
    BITMAPINFO info = header_32(description.bmWidth, -description.bmHeight);  // rows top-down
    if (!GetDIBits(dc, static_cast<HBITMAP>(handle), 0, description.bmHeight, buffer, &info, DIB_RGB_COLORS)) {
      main_heap_free(buffer);
      buffer = nullptr;
    }
  }
  DeleteDC(dc);
  return buffer;
}

HBITMAP alpha_copy_create(HANDLE handle, HDC dc) {
  if (!drawing_alpha_blend()) return nullptr;
  HDC own = dc ? nullptr : CreateCompatibleDC(nullptr);
  HDC context = dc ? dc : own;
  if (!context) return nullptr;
  HBITMAP copy = nullptr;
  BITMAP description{};
  if (GetObjectA(handle, sizeof(description), &description)) {
    BITMAPINFO info = header_32(description.bmWidth, description.bmHeight);
    void* bits = nullptr;
    copy = CreateDIBSection(context, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy) {
      GetDIBits(context, static_cast<HBITMAP>(handle), 0, description.bmHeight, bits, &info, DIB_RGB_COLORS);
      dib_premultiply(static_cast<uint8_t*>(bits),
                      static_cast<size_t>(description.bmWidth) * static_cast<size_t>(description.bmHeight));
    }
  }
  if (own) DeleteDC(own);
  return copy;
}

int32_t alpha_draw(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, HBITMAP bitmap, HDC source,
                   uint8_t constant_alpha) {
  alpha_blend_function alpha_blend = drawing_alpha_blend();
  if (!alpha_blend || !bitmap) return 0;
  if (!width || !height) {
    BITMAP description{};
    if (!GetObjectA(bitmap, sizeof(description), &description)) return 0;
    width = description.bmWidth;
    height = description.bmHeight;
  }
  HDC own = source ? nullptr : CreateCompatibleDC(dc);
  HDC context = source ? source : own;
  if (!context) return 0;
  HGDIOBJ previous = SelectObject(context, bitmap);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, constant_alpha, AC_SRC_ALPHA};
  const BOOL drawn = alpha_blend(dc, x, y, width, height, context, 0, 0, width, height, blend);
  SelectObject(context, previous);
  if (own) DeleteDC(own);
  return drawn ? 1 : 0;
}

void alpha_delete(HBITMAP bitmap) {
  // Alpha copies exist only while AlphaBlend does.
  if (drawing_alpha_blend() && bitmap) DeleteObject(bitmap);
}
