// The platform's minimum for the benchmark: a plain Win32 program with the window the dice
// roller shows (320 x 360 inner size, centred, caption, system menu and minimise box; a
// 300 x 300 static bitmap and three buttons, "START" the default) and the same manifest,
// and nothing else. With BARE_WINDOW_REAPPLY_MS set in its environment it also applies
// its unchanged geometry again at that interval, as the dice roller's loop must; with
// BARE_WINDOW_SOUND set it also opens the default sound device as the dice roller does
// (priority level, primary buffer) and keeps it, silent, until it ends.
#include <windows.h>
#include <commctrl.h>
#include <dsound.h>

#include <cstdlib>

namespace {

constexpr UINT_PTR REAPPLY_TIMER = 1;

// The same calls as applying a window's geometry with every value left as it is.
void reapply_geometry(HWND window) {
  RECT outer, inner;
  GetWindowRect(window, &outer);
  GetClientRect(window, &inner);
  AdjustWindowRectEx(&inner, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  SetWindowPos(window, nullptr, outer.left, outer.top, inner.right - inner.left, inner.bottom - inner.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK bare_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == REAPPLY_TIMER) reapply_geometry(window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == 2) DestroyWindow(window);  // "ENDE"
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

HBITMAP grey_picture() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 300;
  info.bmiHeader.biHeight = -300;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bits)
    for (int i = 0; i < 300 * 300; ++i) static_cast<DWORD*>(bits)[i] = 0x808080;
  return bitmap;
}

// Opens the device and leaves it open; a refusal anywhere leaves the program silent.
void open_sound_device(HWND window) {
  HMODULE module = LoadLibraryA("DSOUND.DLL");
  using create_function = HRESULT(WINAPI*)(const GUID*, IDirectSound**, IUnknown*);
  auto create = module ? reinterpret_cast<create_function>(
                             reinterpret_cast<void*>(GetProcAddress(module, "DirectSoundCreate")))
                       : nullptr;
  IDirectSound* device = nullptr;
  if (!create || create(nullptr, &device, nullptr) != DS_OK) return;
  DSBUFFERDESC primary_description{};
  primary_description.dwSize = sizeof primary_description;
  primary_description.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* primary = nullptr;
  if (device->SetCooperativeLevel(window, DSSCL_PRIORITY) == DS_OK)
    device->CreateSoundBuffer(&primary_description, &primary, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);

  WNDCLASSA window_class{};
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = bare_procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  window_class.lpszClassName = "BareWindow";
  RegisterClassA(&window_class);

  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT outer{0, 0, 320, 360};
  AdjustWindowRectEx(&outer, style, FALSE, 0);
  int width = outer.right - outer.left, height = outer.bottom - outer.top;
  HWND window = CreateWindowExA(0, "BareWindow", "Tessarix V1.1", style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr, instance,
                                nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNORMAL);

  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HWND picture = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BITMAP, 10, 10, 300, 300, window,
                                 reinterpret_cast<HMENU>(4), instance, nullptr);
  SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(grey_picture()));
  const struct {
    int id, x, width;
    const char* text;
    DWORD style;
  } buttons[] = {{1, 10, 50, "START", BS_DEFPUSHBUTTON},
                 {2, 70, 50, "ENDE", BS_PUSHBUTTON},
                 {3, 160, 150, "Brisgauer-Homepage", BS_PUSHBUTTON}};
  for (const auto& b : buttons) {
    HWND button = CreateWindowExA(0, "Button", b.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | b.style, b.x, 320, b.width,
                                  30, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), instance, nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }

  char setting[16];
  if (GetEnvironmentVariableA("BARE_WINDOW_SOUND", setting, sizeof setting)) open_sound_device(window);
  char interval[16];
  if (GetEnvironmentVariableA("BARE_WINDOW_REAPPLY_MS", interval, sizeof interval))
    SetTimer(window, REAPPLY_TIMER, static_cast<UINT>(std::atoi(interval)), nullptr);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
