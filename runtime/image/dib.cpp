// Device-independent bitmaps with directly addressable pixels, the form of every bitmap
// this library makes.
#include "runtime/image/image.h"

HBITMAP dib_create(int32_t width, int32_t height, int32_t depth) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(depth > 24 ? depth : 24);
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dc) DeleteDC(dc);
  return bitmap;
}
