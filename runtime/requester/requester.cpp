// Placeholder start and end routines; the library's own code replaces this file.
#include "runtime/core/libraries.h"
void requester_library_start() {}
