// Placeholder start and end routines; the library's own code replaces this file.
#include "runtime/core/libraries.h"
void image_decoder_init() {}
void image_init() {}
void image_end() {}
