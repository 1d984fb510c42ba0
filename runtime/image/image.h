// Numbered images decoded from BMP or icon files in memory.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"

// Native handle for a fixed number, dynamic number for OBJECT_ANY, 0 on failure. Without a
// length the data is read as if it were 10,000,000 bytes long, but no header field may
// point outside the length given.
intptr_t image_from_memory(intptr_t number, const void* data);
intptr_t image_from_memory_sized(intptr_t number, const void* data, size_t length, int32_t ignored);
HANDLE image_handle(intptr_t number);
void image_free(intptr_t number);

void image_decoder_init();
void image_init();
void image_end();

int32_t dib_row_stride(int32_t width, int32_t bits_per_pixel);
HBITMAP dib_create(int32_t width, int32_t height, int32_t depth);
HICON icon_from_memory(const void* data, size_t length);
