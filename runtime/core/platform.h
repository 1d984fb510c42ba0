// The platform beneath the runtime. Windows builds call Win32 itself; the native build
// of the platform-free core gets the few kernel services it needs (heaps, critical
// sections, the run-once service, Sleep, tick count, thread id, timer period, the
// cryptographic random source) from a small POSIX layer under the same names.
#pragma once

#ifdef _WIN32
#  include <windows.h>
#  include <wincrypt.h>
#else
#  include "runtime/core/posix/win32_kernel.h"
#endif
