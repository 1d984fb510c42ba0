// The platform's own DLLs, loaded at run time from the system directory only: never from
// the program's folder or the current directory, where a file of the same name may have
// been put (a download folder is the usual place for such a plant).
#pragma once

#include <cstddef>

#include "runtime/core/platform.h"

// The module of that bare name ("winmm.dll") from the system directory, or null: an empty
// name, one with a folder or drive in it, or a module the system directory does not hold.
HMODULE system_library_load(const char* name);
// Restricts the process's later loads, the platform's own included, to the system
// directory where the platform allows it; elsewhere the search stays as it is.
void system_library_restrict_search();
// Writes directory, a backslash and name into path (size bytes with the terminator) and
// returns the length; 0 with path empty when name is not a bare name or the whole does
// not fit.
size_t system_library_path(const char* directory, const char* name, char* path, size_t size);
