// The embedded pictures and sounds, read in by the assembler from app/assets/ and placed
// back to back, without padding, in the initialised data section.
#include "app/assets.h"

#ifndef TESSARIX_ASSET_DIR
#  error "TESSARIX_ASSET_DIR must name the folder of the asset files"
#endif

#define TESSARIX_ASSET(symbol, file) ".globl " symbol "\n" symbol ":\n.incbin \"" TESSARIX_ASSET_DIR "/" file "\"\n"

// PE objects know no section stack; this file holds nothing but the data, and the
// compiler names the section of whatever it emits after a top-level block itself.
#ifdef _WIN32
#  define TESSARIX_DATA_BEGIN ".data\n"
#  define TESSARIX_DATA_END ".text\n"
#else
#  define TESSARIX_DATA_BEGIN ".pushsection .data\n"
#  define TESSARIX_DATA_END ".popsection\n"
#endif

// One asset a line; the formatter would run the assembler text together.
// clang-format off
__asm__(TESSARIX_DATA_BEGIN
        ".balign 16\n"
        TESSARIX_ASSET("tessarix_start_picture", "start.bmp")
        TESSARIX_ASSET("tessarix_face_1", "face_1.bmp")
        TESSARIX_ASSET("tessarix_face_2", "face_2.bmp")
        TESSARIX_ASSET("tessarix_face_3", "face_3.bmp")
        TESSARIX_ASSET("tessarix_face_4", "face_4.bmp")
        TESSARIX_ASSET("tessarix_face_5", "face_5.bmp")
        TESSARIX_ASSET("tessarix_face_6", "face_6.bmp")
        TESSARIX_ASSET("tessarix_click_sound", "click.wav")
        TESSARIX_ASSET("tessarix_roll_sound", "roll.wav")
        ".globl tessarix_assets_end\ntessarix_assets_end:\n"
        TESSARIX_DATA_END);
// clang-format on
