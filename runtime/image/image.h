// Numbered images decoded from BMP or icon files in memory.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"
#include "runtime/core/registry.h"
#include "runtime/image/dib_layout.h"

// One numbered image. The native handle is a bitmap, or an icon for an image decoded from
// an icon file; 0 means that the slot holds no image.
struct image_record {
  HANDLE handle;
  uint16_t width;  // of the native bitmap (an icon's colour bitmap)
  uint16_t height;
  uint8_t depth;         // bits per pixel of the native bitmap
  uint8_t source_depth;  // bits per pixel of the source
};

// Decoders of further formats, tried in table order after BMP and icon data.
struct image_decoder_state;
struct image_decoder {
  // Non-zero when the decoder accepts the data; fills width, height, bits per pixel.
  int32_t (*check)(image_decoder_state* state);
  // Writes the picture into the bitmap's pixel memory, rows stride bytes apart in the
  // platform's order (bottom row first for a positive height); mode is always 2 here.
  intptr_t (*decode)(image_decoder_state* state, void* pixels, int32_t stride, int32_t mode);
  void (*close)(image_decoder_state* state);
};

constexpr int32_t IMAGE_SOURCE_MEMORY = 1;
constexpr int32_t IMAGE_DECODER_CAPACITY = 8;

struct image_decoder_state {
  const image_decoder* decoder;  // the accepting decoder
  HANDLE file;                   // the source file, for file sources
  const void* data;              // the source data
  size_t length;                 // its length in bytes
  int32_t source_kind;           // IMAGE_SOURCE_MEMORY
  int32_t width;
  int32_t height;
  int32_t bits_per_pixel;
  int32_t scratch[8];  // cleared before each decoder's check
  int32_t source_depth;
};

struct image_library_state {
  object_registry* table;
  int32_t decoder_count;
  const image_decoder* decoders[IMAGE_DECODER_CAPACITY];
  image_decoder_state* decoder_state;
};

image_library_state& image_library();

// Native handle for a fixed number, dynamic number for OBJECT_ANY, 0 on failure. Without a
// length the data is read as if it were 10,000,000 bytes long, but no header field may
// point outside the length given.
intptr_t image_from_memory(intptr_t number, const void* data);
intptr_t image_from_memory_sized(intptr_t number, const void* data, size_t length, int32_t ignored);
HANDLE image_handle(intptr_t number);
void image_free(intptr_t number);
// The live image of that number, or null.
image_record* image_lookup(intptr_t number);

void image_decoder_init();
void image_init();
void image_end();
// Appends a decoder to the table; 0 when the table is full or the decoder lacks check,
// decode or close.
int32_t image_decoder_register(const image_decoder* decoder);
// The bitmap that the first accepting decoder of the table made from the data, its source
// depth in *source_depth; 0 when none accepts it or no bitmap can be made.
HBITMAP image_decoded_by_table(const void* data, size_t length, uint8_t* source_depth);

// A DIB section of that size with max(depth, 24) bits per pixel, bottom-up for a positive
// height, no colour table; 0 on failure.
HBITMAP dib_create(int32_t width, int32_t height, int32_t depth);
// The icon of the icon file of length bytes at data, its deepest entry of the first
// entry's size; 0 when the data is no icon file or the platform refuses the entry.
HICON icon_from_memory(const void* data, size_t length);
