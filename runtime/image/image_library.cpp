// The image table, and images decoded from data in memory: BMP files, icon files, and
// whatever a registered decoder accepts.
#include "runtime/core/libraries.h"
#include "runtime/core/runtime.h"
#include "runtime/image/bmp_header.h"
#include "runtime/image/image.h"

namespace {

image_library_state library;

// Stands in for the length of data passed without one; header fields are still held to it.
constexpr size_t NOMINAL_LENGTH = 10000000;

void record_describe(image_record* record, HBITMAP bitmap) {
  BITMAP description{};
  if (GetObjectA(bitmap, sizeof(description), &description)) {
    record->width = static_cast<uint16_t>(description.bmWidth);
    record->height = static_cast<uint16_t>(description.bmHeight);
    record->depth = static_cast<uint8_t>(description.bmBitsPixel);
  }
}

// The BMP path: a DIB section of at least 24 bits that the platform fills from the file's
// own information block and pixel rows.
HBITMAP bitmap_from_bmp(const uint8_t* data, size_t length, uint8_t* source_depth) {
  bmp_header header;
  if (!bmp_header_read(data, length, &header)) return nullptr;
  const int32_t depth = bmp_target_depth(header.bit_count);
  HBITMAP bitmap = dib_create(header.width, header.height, depth);
  if (!bitmap) return nullptr;

  if (HDC dc = CreateCompatibleDC(nullptr)) {
    // The file's information block describes the source: colour table, bit count and
    // compression are whatever the platform's conversion accepts. Its result is not
    // needed: a picture it cannot convert stays black.
    // A top-down file (negative height) has as many rows as its height's magnitude.
    const UINT rows = header.height < 0 ? 0u - static_cast<UINT>(header.height) : static_cast<UINT>(header.height);
    SetDIBits(dc, bitmap, 0, rows, data + header.pixel_offset,
              reinterpret_cast<const BITMAPINFO*>(data + BMP_FILE_HEADER_SIZE), DIB_RGB_COLORS);
    DeleteDC(dc);
  }

  if (depth == 32) {
    DIBSECTION section{};
    if (GetObjectA(bitmap, sizeof(section), &section) == sizeof(section) && section.dsBm.bmBits) {
      const int32_t stride = dib_row_stride(section.dsBm.bmWidth, 32);
      dib_make_opaque_without_alpha(static_cast<uint8_t*>(section.dsBm.bmBits), header.width, header.height, stride);
    }
  }
  *source_depth = static_cast<uint8_t>(header.bit_count);
  return bitmap;
}

// The icon path: the platform's icon, described by its colour bitmap.
HICON icon_describe(HICON icon, image_record* record) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) {
    DestroyIcon(icon);
    return nullptr;
  }
  if (info.hbmColor) {
    record_describe(record, info.hbmColor);
    record->source_depth = record->depth;
  } else {
    // A monochrome icon has only its mask, twice as high as the picture: AND and XOR.
    record_describe(record, info.hbmMask);
    record->height = static_cast<uint16_t>(record->height / 2);
    record->source_depth = record->depth;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return icon;
}

}  // namespace

image_library_state& image_library() { return library; }

void image_init() { library.table = registry_new(sizeof(image_record), 16, image_free); }

// Frees every image; the table and the decoder state go with the main heap right after.
void image_end() {
  if (library.table) registry_free_all(library.table);
  library = image_library_state{};
}

image_record* image_lookup(intptr_t number) {
  if (!library.table) return nullptr;
  return static_cast<image_record*>(registry_lookup(library.table, number));
}

HANDLE image_handle(intptr_t number) {
  image_record* record = image_lookup(number);
  return record ? record->handle : nullptr;
}

void image_free(intptr_t number) {
  if (number == OBJECT_ANY) return;
  image_record* record = image_lookup(number);
  if (!record) return;
  if (GetObjectType(record->handle) == OBJ_BITMAP)
    DeleteObject(record->handle);
  else
    DestroyIcon(static_cast<HICON>(record->handle));
  registry_free(library.table, number);
}

intptr_t image_from_memory(intptr_t number, const void* data) {
  return image_from_memory_sized(number, data, NOMINAL_LENGTH, 0);
}

intptr_t image_from_memory_sized(intptr_t number, const void* data, size_t length, int32_t) {
  if (!library.table) return 0;
  // A number that already holds an image loses it here, before anything is decoded.
  auto* record = static_cast<image_record*>(registry_create(library.table, number));
  if (!record) return 0;
  const intptr_t dynamic = number == OBJECT_ANY ? registry_dynamic_number(record) : 0;
  const auto* bytes = static_cast<const uint8_t*>(data);

  HANDLE handle = nullptr;
  uint8_t source_depth = 0;
  if (bmp_is_bitmap(bytes, length)) {
    handle = bitmap_from_bmp(bytes, length, &source_depth);
    if (handle) {
      record_describe(record, static_cast<HBITMAP>(handle));
      record->source_depth = source_depth;
    }
  } else if (HICON icon = data ? icon_from_memory(data, length) : nullptr) {
    handle = icon_describe(icon, record);
  } else {
    handle = image_decoded_by_table(data, length, &source_depth);
    if (handle) {
      record_describe(record, static_cast<HBITMAP>(handle));
      record->source_depth = source_depth;
    }
  }

  if (!handle) {
    // A fixed slot stays empty; a dynamic record leaves no number behind.
    if (dynamic)
      registry_free(library.table, dynamic);
    else
      *record = image_record{};
    return 0;
  }
  record->handle = handle;
  return dynamic ? dynamic : reinterpret_cast<intptr_t>(handle);
}
