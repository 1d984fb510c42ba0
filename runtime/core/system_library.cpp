#include "runtime/core/system_library.h"

#include <cstring>

namespace {

using set_default_directories_function = BOOL(WINAPI*)(DWORD);

// NOTE: the search flags of LoadLibraryExA exist from Windows 8 on, and on Windows 7 with
// the loader update that also brought AddDllDirectory; an older loader refuses them. That
// entry point's presence is the platform's documented test. The kernel is always loaded,
// so asking for its handle searches nothing.
FARPROC kernel_entry(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel ? GetProcAddress(kernel, name) : nullptr;
}

bool is_bare_name(const char* name) { return *name && !std::strpbrk(name, "\\/:"); }

}  // namespace

size_t system_library_path(const char* directory, const char* name, char* path, size_t size) {
  if (!path || !size) return 0;
  path[0] = 0;
  if (!directory || !name || !*directory || !is_bare_name(name)) return 0;
  size_t directory_length = std::strlen(directory);
  const size_t name_length = std::strlen(name);
  const bool has_separator = directory[directory_length - 1] == '\\';
  const size_t length = directory_length + (has_separator ? 0 : 1) + name_length;
  if (length >= size) return 0;
  std::memcpy(path, directory, directory_length);
  if (!has_separator) path[directory_length++] = '\\';
  std::memcpy(path + directory_length, name, name_length + 1);
  return length;
}

HMODULE system_library_load(const char* name) {
  if (!name || !is_bare_name(name)) return nullptr;
  if (kernel_entry("AddDllDirectory")) return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  char directory[MAX_PATH];
  UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  char path[MAX_PATH];
  if (!system_library_path(directory, name, path, sizeof(path))) return nullptr;
  return LoadLibraryA(path);
}

void system_library_restrict_search() {
  auto restrict_to = reinterpret_cast<set_default_directories_function>(
      reinterpret_cast<void*>(kernel_entry("SetDefaultDllDirectories")));
  if (restrict_to) restrict_to(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
