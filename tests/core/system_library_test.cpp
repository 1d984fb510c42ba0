#include <gtest/gtest.h>

#include <string>

#include "runtime/core/system_library.h"

namespace {

TEST(SystemLibrary, PathIsDirectoryBackslashNameWhenItFitsAndNameIsBare) {
  const struct {
    const char* directory;
    const char* name;
    size_t size;
    const char* expected;  // "" for a refusal
  } cases[] = {
      {"C:\\Windows\\system32", "winmm.dll", 64, "C:\\Windows\\system32\\winmm.dll"},
      {"C:\\", "winmm.dll", 64, "C:\\winmm.dll"},  // no second separator
      {"C:\\sys", "a.dll", 13, "C:\\sys\\a.dll"},  // exactly fits with its terminator
      {"C:\\sys", "a.dll", 12, ""},                // one byte short
      {"C:\\sys", "..\\a.dll", 64, ""},
      {"C:\\sys", "sub/a.dll", 64, ""},
      {"C:\\sys", "D:a.dll", 64, ""},
      {"C:\\sys", "", 64, ""},
      {"", "a.dll", 64, ""},
      {nullptr, "a.dll", 64, ""},
      {"C:\\sys", nullptr, 64, ""},
  };
  for (const auto& c : cases) {
    char path[64] = "untouched";
    size_t length = system_library_path(c.directory, c.name, path, c.size);
    EXPECT_STREQ(c.expected, path) << (c.directory ? c.directory : "(null)") << " + " << (c.name ? c.name : "(null)")
                                   << " in " << c.size;
    EXPECT_EQ(std::string(c.expected).size(), length);
  }
  EXPECT_EQ(0u, system_library_path("C:\\sys", "a.dll", nullptr, 64));
}

TEST(SystemLibrary, LoadsBareNamesOnly) {
  for (const char* name :
       {static_cast<const char*>(nullptr), "", ".\\kernel32.dll", "C:\\windows\\system32\\kernel32.dll"})
    EXPECT_EQ(nullptr, system_library_load(name)) << (name ? name : "(null)");
  HMODULE kernel = system_library_load("Kernel32.dll");
  ASSERT_NE(nullptr, kernel);
  EXPECT_NE(nullptr, GetProcAddress(kernel, "InitOnceExecuteOnce"));
  FreeLibrary(kernel);
#ifdef _WIN32
  // The module is the system directory's.
  HMODULE module = system_library_load("msimg32.dll");
  ASSERT_NE(nullptr, module);
  char file[MAX_PATH] = {}, directory[MAX_PATH] = {};
  GetModuleFileNameA(module, file, MAX_PATH);
  UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, file, static_cast<int>(length), directory,
                                       static_cast<int>(length)))
      << file << " is not in " << directory;
  FreeLibrary(module);
#endif
}

}  // namespace
