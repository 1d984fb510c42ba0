// The texts that launching a program is made of: the command line handed to the platform
// and the folder the shell is given when the caller names none. Plain text work, so it
// can be checked without starting anything.
#pragma once

#include <cstddef>

// Bytes the command line of file and parameters needs, its terminator included: the file
// may gain two double quotes, the parameters a separating space.
size_t program_command_line_size(const char* file, const char* parameters);

// Writes the command line into buffer (program_command_line_size bytes): the file in
// double quotes unless it already begins with one, then a space and the parameters
// unless they are empty. Returns the length written, terminator excluded.
size_t program_command_line(const char* file, const char* parameters, char* buffer);

// Length of the folder part of file: everything up to and including its last backslash,
// or 0 when it has none. A backslash as the very first character names no folder.
size_t program_directory_length(const char* file);
