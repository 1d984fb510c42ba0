// Icons from icon files in memory, through the platform's icon creation from the data of
// one icon-resource entry.
#include <cstring>

#include "runtime/image/icon_directory.h"
#include "runtime/image/image.h"

namespace {

constexpr DWORD ICON_RESOURCE_VERSION = 0x00030000;

// The fixed work block that the icon path holds while it builds the icon; the path fails
// when not even this much memory can be had.
constexpr SIZE_T ICON_WORK_BLOCK_SIZE = 256;

}  // namespace

HICON icon_from_memory(const void* data, size_t length) {
  icon_entry entry;
  if (!icon_directory_choose(data, length, &entry, nullptr)) return nullptr;

  HGLOBAL work = GlobalAlloc(GMEM_FIXED, ICON_WORK_BLOCK_SIZE);
  if (!work) return nullptr;
  auto* copy = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED, entry.size));
  if (!copy) {
    GlobalFree(work);
    return nullptr;
  }
  std::memcpy(copy, static_cast<const uint8_t*>(data) + entry.offset, entry.size);

  icon_image_size size{};
  icon_image_size_read(copy, entry.size, &size);
  HICON icon = CreateIconFromResourceEx(copy, entry.size, TRUE, ICON_RESOURCE_VERSION, size.width, size.height, 0);
  // Refused at the entry's own size: one more try at the platform's default icon size,
  // except for 16-bit entries, whose refusal is final.
  if (!icon && size.bit_count != 16) icon = CreateIconFromResource(copy, entry.size, TRUE, ICON_RESOURCE_VERSION);

  GlobalFree(copy);
  GlobalFree(work);
  return icon;
}
