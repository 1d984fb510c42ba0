#include "runtime/requester/launch_text.h"

#include <cstring>

size_t program_command_line_size(const char* file, const char* parameters) {
  return std::strlen(file) + std::strlen(parameters) + 4;
}

size_t program_command_line(const char* file, const char* parameters, char* buffer) {
  size_t length = 0;
  size_t file_length = std::strlen(file);
  // A file that already begins with a double quote was quoted by the caller, perhaps with
  // arguments behind the closing quote; quoting it again would break it apart.
  bool quoted = file[0] == '"';
  if (!quoted) buffer[length++] = '"';
  std::memcpy(buffer + length, file, file_length);
  length += file_length;
  if (!quoted) buffer[length++] = '"';
  size_t parameters_length = std::strlen(parameters);
  if (parameters_length) {
    buffer[length++] = ' ';
    std::memcpy(buffer + length, parameters, parameters_length);
    length += parameters_length;
  }
  buffer[length] = 0;
  return length;
}

size_t program_directory_length(const char* file) {
  // Only the backslash separates folders here; a leading one (a path from the root of
  // the current drive) leaves nothing before it to take as a folder.
  for (size_t i = std::strlen(file); i > 1; --i)
    if (file[i - 1] == '\\') return i;
  return 0;
}
