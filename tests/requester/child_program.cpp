// A small program for the launcher's tests to start. Without arguments it writes its own
// command line to standard output; otherwise the first argument says what to do:
//   write TEXT      TEXT to standard output
//   error TEXT      TEXT to standard error
//   echo            standard input to standard output until the input ends
//   sleep MS        wait MS milliseconds
//   directory       the current directory to standard output
//   startup         the show mode it was started with, as "show=N"
//   window TITLE MS a visible window titled TITLE in the foreground, for MS milliseconds
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void put(DWORD which, const char* text, DWORD length) {
  DWORD written = 0;
  WriteFile(GetStdHandle(which), text, length, &written, nullptr);
}

void put(DWORD which, const char* text) { put(which, text, static_cast<DWORD>(std::strlen(text))); }

void echo() {
  char chunk[256];
  DWORD got = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof(chunk), &got, nullptr) && got)
    put(STD_OUTPUT_HANDLE, chunk, got);
}

int show_window(const char* title, DWORD ms) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "ChildProgramWindow";
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(0, "ChildProgramWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 200, 240, 160,
                                nullptr, nullptr, window_class.hInstance, nullptr);
  if (!window) return 1;
  SetForegroundWindow(window);
  DWORD end = GetTickCount() + ms;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (!IsWindow(window)) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  DestroyWindow(window);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    put(STD_OUTPUT_HANDLE, GetCommandLineA());
    return 0;
  }
  const char* what = argv[1];
  const char* argument = argc > 2 ? argv[2] : "";
  if (!std::strcmp(what, "write")) {
    put(STD_OUTPUT_HANDLE, argument);
  } else if (!std::strcmp(what, "error")) {
    put(STD_ERROR_HANDLE, argument);
  } else if (!std::strcmp(what, "echo")) {
    echo();
  } else if (!std::strcmp(what, "sleep")) {
    Sleep(static_cast<DWORD>(std::atoi(argument)));
  } else if (!std::strcmp(what, "directory")) {
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(directory), directory);
    put(STD_OUTPUT_HANDLE, directory);
  } else if (!std::strcmp(what, "startup")) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    const unsigned show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : 99u;
    put(STD_OUTPUT_HANDLE, ("show=" + std::to_string(show)).c_str());
  } else if (!std::strcmp(what, "window")) {
    return show_window(argument, argc > 3 ? static_cast<DWORD>(std::atoi(argv[3])) : 10000);
  } else {
    return 2;
  }
  return 0;
}
