// The decoder table: decoders of further formats, tried in order after BMP and icon data.
// Nothing in this program registers one, so the table is normally empty.
#include <cstring>

#include "runtime/core/runtime.h"
#include "runtime/image/image.h"

void image_decoder_init() {
  image_library_state& library = image_library();
  library.decoder_count = 0;
  std::memset(library.decoders, 0, sizeof(library.decoders));
  library.decoder_state = static_cast<image_decoder_state*>(main_heap_alloc(sizeof(image_decoder_state)));
}

int32_t image_decoder_register(const image_decoder* decoder) {
  image_library_state& library = image_library();
  if (!decoder || !decoder->check || !decoder->decode || !decoder->close) return 0;
  if (library.decoder_count >= IMAGE_DECODER_CAPACITY) return 0;
  library.decoders[library.decoder_count++] = decoder;
  return 1;
}

// The bitmap that the first accepting decoder fills, or 0 when none accepts the data.
HBITMAP image_decoded_by_table(const void* data, size_t length, uint8_t* source_depth) {
  image_library_state& library = image_library();
  image_decoder_state* state = library.decoder_state;
  if (!state) return nullptr;
  *state = image_decoder_state{};
  state->data = data;
  state->length = length;
  state->source_kind = IMAGE_SOURCE_MEMORY;

  for (int32_t i = 0; i < library.decoder_count && !state->decoder; ++i) {
    std::memset(state->scratch, 0, sizeof(state->scratch));
    if (library.decoders[i]->check(state)) state->decoder = library.decoders[i];
  }
  const image_decoder* decoder = state->decoder;
  if (!decoder) return nullptr;

  // The decoder's own size and depth, used unchanged: it writes what it reported.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = state->width;
  info.bmiHeader.biHeight = state->height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(state->bits_per_pixel);
  info.bmiHeader.biCompression = BI_RGB;
  HBITMAP bitmap = nullptr;
  void* bits = nullptr;
  if (HDC dc = CreateCompatibleDC(nullptr)) {
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    DeleteDC(dc);
  }
  if (bitmap) {
    DIBSECTION section{};
    if (GetObjectA(bitmap, sizeof(section), &section) == sizeof(section) && section.dsBm.bmBits)
      decoder->decode(state, section.dsBm.bmBits, dib_row_stride(state->width, state->bits_per_pixel), 2);
  }
  // The decoder's source is closed whether or not a bitmap could be made for it.
  decoder->close(state);
  if (bitmap) *source_depth = static_cast<uint8_t>(state->source_depth);
  return bitmap;
}
