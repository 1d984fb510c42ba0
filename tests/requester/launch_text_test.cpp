#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/requester/launch_text.h"

namespace {

TEST(LaunchText, CommandLineQuotesTheFileOnceAndAddsParametersOnlyWhenGiven) {
  const struct {
    const char* file;
    const char* parameters;
    const char* expected;
  } cases[] = {
      {"C:\\Tools\\x.exe", "", "\"C:\\Tools\\x.exe\""},
      {"http://www.example.com/", "", "\"http://www.example.com/\""},
      {"C:\\Program Files\\x.exe", "-a -b", "\"C:\\Program Files\\x.exe\" -a -b"},
      // Quoted by the caller: left as it is, whatever follows the closing quote.
      {"\"C:\\Program Files\\x.exe\"", "", "\"C:\\Program Files\\x.exe\""},
      {"\"C:\\a b\\x.exe\" -q", "", "\"C:\\a b\\x.exe\" -q"},
      {"\"x.exe\"", "p", "\"x.exe\" p"},
      {"\"", "", "\""},
      {"", "", "\"\""},
      {"x.exe", " ", "\"x.exe\"  "},
      {"\xFC"
       "ber.exe",
       "\xE4",
       "\"\xFC"
       "ber.exe\" \xE4"},
  };
  for (const auto& c : cases) {
    size_t size = program_command_line_size(c.file, c.parameters);
    // Exactly the bytes asked for, so that a write past them shows under the sanitizers.
    std::vector<char> buffer(size, '#');
    size_t length = program_command_line(c.file, c.parameters, buffer.data());
    EXPECT_EQ(std::string(c.expected), std::string(buffer.data()))
        << "file [" << c.file << "] parameters [" << c.parameters << "]";
    EXPECT_EQ(std::string(c.expected).size(), length) << "file [" << c.file << "]";
    EXPECT_LE(length + 1, size) << "file [" << c.file << "]";
  }
}

TEST(LaunchText, DirectoryEndsAtTheLastBackslashButNotAtTheFirstCharacter) {
  const struct {
    const char* file;
    const char* expected;
  } cases[] = {
      {"C:\\Tools\\x.exe", "C:\\Tools\\"},
      {"C:\\Tools\\Sub\\x.exe", "C:\\Tools\\Sub\\"},
      {"C:\\x.exe", "C:\\"},
      {"\\\\server\\share\\x.exe", "\\\\server\\share\\"},
      {"Tools\\", "Tools\\"},
      {"\\\\", "\\\\"},
      // No folder: no backslash at all, or only one in front.
      {"x.exe", ""},
      {"http://www.example.com/a/b.html", ""},
      {"C:/Tools/x.exe", ""},
      {"\\x.exe", ""},
      {"\\", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    size_t length = program_directory_length(c.file);
    EXPECT_EQ(std::string(c.expected), std::string(c.file, length)) << "file [" << c.file << "]";
  }
}

}  // namespace
