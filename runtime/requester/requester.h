// The modal message requester and the launcher for programs and documents.
#pragma once

#include <cstdint>

// MessageBoxA's result; the calling thread's other visible windows are disabled meanwhile.
int32_t requester_message(const char* title, const char* text, uint32_t flags = 0);
void requester_library_start();

constexpr uint32_t PROGRAM_WAIT = 1;
constexpr uint32_t PROGRAM_HIDE = 2;
constexpr uint32_t PROGRAM_KEEP = 4;
constexpr uint32_t PROGRAM_READ = 8;
constexpr uint32_t PROGRAM_WRITE = 0x10;
constexpr uint32_t PROGRAM_ERROR = 0x20;
constexpr uint32_t PROGRAM_CONNECT = 0x40;

// A kept program (PROGRAM_KEEP): program_run returns the address of its record. Records
// stay until the process ends; their handles are never closed by the runtime.
struct program_record {
  void* process;       // process handle; null when the shell handed the file to a running program
  int32_t process_id;  // PROGRAM_OPENED_BY_SHELL when the shell opened the file
  void* input_write;   // the parent's end of the pipe to the program's standard input, or null
  void* output_read;   // the parent's end of the pipe from its standard output, or null
  void* error_read;    // the parent's end of the pipe from its standard error, or null
};
constexpr int32_t PROGRAM_OPENED_BY_SHELL = -1;

// 0 on failure; 1 on success without PROGRAM_KEEP; with it, the program record's handle.
intptr_t program_run(const char* file, const char* parameters, const char* directory, uint32_t flags);
void program_library_start();
