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

// 0 on failure; 1 on success without PROGRAM_KEEP; with it, the program record's handle.
intptr_t program_run(const char* file, const char* parameters, const char* directory, uint32_t flags);
void program_library_start();
