// Placeholder start and end routines; the library's own code replaces this file.
#include "runtime/core/libraries.h"
void drawing_support_init() {}
void drawing_support_end() {}
