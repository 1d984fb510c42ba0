// Files the test runner names by their Unix paths, as a Windows program under Wine sees
// them: NOTE: Wine shows the Unix root as drive Z:.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace wine_paths {

inline std::string windows_path(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// A file's length in bytes, 0 when it is missing.
inline size_t file_size(const std::string& windows_file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(windows_file.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<size_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
}

// An environment variable set by the runner, "" when missing.
inline std::string setting(const char* name) {
  char value[2048];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n && n < sizeof value ? std::string(value, n) : std::string();
}

}  // namespace wine_paths
