// Launching programs and documents. A file is first started as a program; when that
// fails and no pipe was asked for, the shell opens it with its associated program (a
// document, a folder, a web address). Kept programs are recorded with the parent's ends
// of their pipes.
#include "runtime/core/platform.h"

#include <shellapi.h>

#include <cstring>

#include "runtime/core/registry.h"
#include "runtime/core/runtime.h"
#include "runtime/core/system_library.h"
#include "runtime/requester/launch_text.h"
#include "runtime/requester/requester.h"

namespace {

// A kept program: two links, then the record whose address the caller gets.
struct kept_program_node {
  kept_program_node* next;      // next older program
  kept_program_node* previous;  // next newer program
  program_record record;
};

// A record of the program table: one process handle.
struct program_table_record {
  HANDLE process;
};

using shell_execute_function = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);

struct program_library_record {
  kept_program_node* kept;  // newest first; records stay until the process ends
  CRITICAL_SECTION lock;    // guards additions to the kept list
  object_registry* programs;
  bool shell_looked_up;
  shell_execute_function shell_execute;  // null when the shell cannot be loaded
};

program_library_record* program_library_state = nullptr;

program_library_record* program_library() { return library_state(program_library_state); }

constexpr uint32_t PIPE_FLAGS = PROGRAM_READ | PROGRAM_WRITE | PROGRAM_ERROR | PROGRAM_CONNECT;

void free_program(intptr_t number) {
  object_registry* programs = program_library()->programs;
  auto* record = static_cast<program_table_record*>(registry_lookup(programs, number));
  if (!record) return;
  CloseHandle(record->process);
  registry_free(programs, number);
}

void close_handle(HANDLE& handle) {
  if (handle) CloseHandle(handle);
  handle = nullptr;
}

// Replaces an inheritable handle by a private duplicate, so that the parent's end of a
// pipe does not reach the child too: a child holding the write end of its own input
// would never see the end of it.
void make_private(HANDLE& handle) {
  HANDLE duplicate = nullptr;
  HANDLE self = GetCurrentProcess();
  if (DuplicateHandle(self, handle, self, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    CloseHandle(handle);
    handle = duplicate;
  }
}

struct pipe_ends {
  HANDLE parent;
  HANDLE child;
};

// A pipe between parent and child; the child's end is inheritable, the parent's private.
// False (nothing made) when the platform refuses.
bool open_pipe(pipe_ends& pipe, bool child_reads, SECURITY_ATTRIBUTES* inheritable) {
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, inheritable, 0)) return false;
  pipe.child = child_reads ? read : write;
  pipe.parent = child_reads ? write : read;
  make_private(pipe.parent);
  return true;
}

// Adds a kept program at the head of the list; its handle, or 0 when no record can be
// had (the caller then closes what it holds).
intptr_t keep_program(HANDLE process, int32_t process_id, HANDLE input_write, HANDLE output_read, HANDLE error_read) {
  program_library_record* library = program_library();
  auto* node = static_cast<kept_program_node*>(main_heap_alloc(sizeof(kept_program_node)));
  if (!node) return 0;
  node->record = {process, process_id, input_write, output_read, error_read};
  EnterCriticalSection(&library->lock);
  node->next = library->kept;
  if (node->next) node->next->previous = node;
  library->kept = node;
  LeaveCriticalSection(&library->lock);
  return reinterpret_cast<intptr_t>(&node->record);
}

// What program_run answers once something was started: the kept record's handle, or 1
// with every handle closed.
intptr_t started(HANDLE process, int32_t process_id, pipe_ends& input, pipe_ends& output, pipe_ends& error,
                 uint32_t flags) {
  if (flags & PROGRAM_WAIT && process) WaitForSingleObject(process, INFINITE);
  if (flags & PROGRAM_KEEP) {
    intptr_t handle = keep_program(process, process_id, input.parent, output.parent, error.parent);
    if (handle) return handle;
    // NOTE: the program runs, but the caller asked for a record it cannot have; a failure
    // with nothing left open is the honest answer.
    close_handle(input.parent);
    close_handle(output.parent);
    close_handle(error.parent);
    close_handle(process);
    return 0;
  }
  close_handle(process);
  return 1;
}

// NOTE: the shell's DLL (and the two it brings along) is loaded at the first document
// opened, not with the program, where it would load before the window's first paint.
shell_execute_function shell_execute() {
  program_library_record* library = program_library();
  if (!library->shell_looked_up) {
    library->shell_looked_up = true;
    if (HMODULE shell = system_library_load("shell32.dll"))
      library->shell_execute = reinterpret_cast<shell_execute_function>(
          reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteExA")));
  }
  return library->shell_execute;
}

// The shell path: the file goes to its associated program. buffer has room for a copy of
// the file and takes the folder derived from it when the caller named none.
intptr_t open_with_shell(const char* file, const char* parameters, const char* directory, int show, uint32_t flags,
                         char* buffer) {
  if (!directory) {
    size_t length = program_directory_length(file);
    if (length) {
      std::memcpy(buffer, file, length);
      buffer[length] = 0;
      directory = buffer;
    }
  }
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof(info);
  // The launcher shows nothing of its own: without the no-interface flag the shell reports
  // a file it cannot open, or offers a chooser of programs, in a window that waits for
  // the user.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = "";  // the file's default action
  info.lpFile = file;
  info.lpParameters = parameters;
  info.lpDirectory = directory;
  info.nShow = show;
  shell_execute_function execute = shell_execute();
  if (!execute || !execute(&info)) return 0;
  // NOTE: a file handed to a program that is already running (a browser with an open
  // window) gives no process handle; there is nothing to wait for then.
  pipe_ends none = {};
  return started(info.hProcess, PROGRAM_OPENED_BY_SHELL, none, none, none, flags);
}

}  // namespace

intptr_t program_run(const char* file, const char* parameters, const char* directory, uint32_t flags) {
  if (!program_library_state || !main_heap()) return 0;
  if (!file) file = "";
  if (!parameters) parameters = "";
  // An empty name names nothing to start or open.
  if (!*file) return 0;
  if (directory && !*directory) directory = nullptr;

  const bool hide = flags & PROGRAM_HIDE;
  const int show = hide ? SW_HIDE : SW_SHOWNORMAL;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  DWORD creation = NORMAL_PRIORITY_CLASS | (hide ? DETACHED_PROCESS : 0);
  BOOL inherit = FALSE;
  SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};

  pipe_ends input = {}, output = {}, error = {};
  // A pipe the platform refuses is simply left out; the program starts without it. A
  // program with pipes must share the parent's console handles, so it is not detached.
  auto connect = [&](pipe_ends& pipe, bool child_reads, HANDLE& standard) {
    if (!open_pipe(pipe, child_reads, &inheritable)) return;
    standard = pipe.child;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    inherit = TRUE;
    creation &= ~DETACHED_PROCESS;
  };
  if (flags & PROGRAM_KEEP) {
    if (flags & PROGRAM_WRITE) connect(input, true, startup.hStdInput);
    if (flags & PROGRAM_READ) connect(output, false, startup.hStdOutput);
    if (flags & PROGRAM_ERROR) connect(error, false, startup.hStdError);
  }
  if (startup.dwFlags & STARTF_USESTDHANDLES) {
    if (!startup.hStdInput) startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    if (!startup.hStdOutput) startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!startup.hStdError) startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  auto close_pipes = [&](bool parent_ends) {
    close_handle(input.child);
    close_handle(output.child);
    close_handle(error.child);
    if (!parent_ends) return;
    close_handle(input.parent);
    close_handle(output.parent);
    close_handle(error.parent);
  };

  auto* buffer = static_cast<char*>(main_heap_alloc_raw(program_command_line_size(file, parameters)));
  if (!buffer) {
    close_pipes(true);
    return 0;
  }
  program_command_line(file, parameters, buffer);

  intptr_t result = 0;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, buffer, nullptr, nullptr, inherit, creation, nullptr, directory, &startup, &process)) {
    // The child holds its own ends now; the parent keeps only its side of each pipe.
    close_pipes(false);
    CloseHandle(process.hThread);
    result = started(process.hProcess, static_cast<int32_t>(process.dwProcessId), input, output, error, flags);
  } else {
    close_pipes(true);
    // A caller that asked for pipes wanted the program itself; the shell gives none.
    if (!(flags & PIPE_FLAGS)) result = open_with_shell(file, parameters, directory, show, flags, buffer);
  }
  main_heap_free(buffer);
  return result;
}

void program_library_start() {
  program_library_state = static_cast<program_library_record*>(
      library_state_new(sizeof(program_library_record), nullptr));
  program_library_record* library = program_library();
  if (!library) return;
  library->programs = registry_new(sizeof(program_table_record), 4, free_program);
  // NOTE: the library has no end step; its record goes with the main heap, so the
  // section is made without the platform's debug record, which would outlive it.
  InitializeCriticalSectionEx(&library->lock, 0, CRITICAL_SECTION_NO_DEBUG_INFO);
}
