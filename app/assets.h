// The program's pictures and sounds: complete BMP and WAV files that lie back to back in
// its initialised data (start picture, faces 1 to 6, click, roll), each read from memory
// by its decoder, which takes every size it needs from the file's own headers.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t DICE_PICTURE_BYTES = 45718;
constexpr size_t DICE_CLICK_BYTES = 1404;
constexpr size_t DICE_ROLL_BYTES = 34646;
constexpr size_t DICE_ASSET_BYTES = 7 * DICE_PICTURE_BYTES + DICE_CLICK_BYTES + DICE_ROLL_BYTES;

// The assembler-level names are fixed (no per-target underscore), so that the block of
// data that defines them can name them the same way on every build.
extern "C" {
extern const uint8_t dice_start_picture[] __asm__("tessarix_start_picture");
extern const uint8_t dice_face_1[] __asm__("tessarix_face_1");
extern const uint8_t dice_face_2[] __asm__("tessarix_face_2");
extern const uint8_t dice_face_3[] __asm__("tessarix_face_3");
extern const uint8_t dice_face_4[] __asm__("tessarix_face_4");
extern const uint8_t dice_face_5[] __asm__("tessarix_face_5");
extern const uint8_t dice_face_6[] __asm__("tessarix_face_6");
extern const uint8_t dice_click_sound[] __asm__("tessarix_click_sound");
extern const uint8_t dice_roll_sound[] __asm__("tessarix_roll_sound");
extern const uint8_t dice_assets_end[] __asm__("tessarix_assets_end");
}

// Picture i (0 the start picture, 1 to 6 the faces), null outside 0 to 6.
inline const uint8_t* dice_picture(int32_t i) {
  static const uint8_t* const pictures[7] = {dice_start_picture, dice_face_1, dice_face_2, dice_face_3,
                                             dice_face_4,        dice_face_5, dice_face_6};
  return i >= 0 && i < 7 ? pictures[i] : nullptr;
}
