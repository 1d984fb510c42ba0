#include "tests/app/e2e/e2e_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

#include "app/assets.h"
#include "tests/app/dice_pictures.h"
#include "tests/screen_scale.h"

namespace e2e {

namespace {

std::vector<uint8_t> read_file(const std::string& windows_file) {
  std::ifstream in(windows_file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A window of the given class (null: any) and text (null: any); for top-level windows
// also of the process, and visible.
struct window_search {
  DWORD process_id;  // 0 for child windows
  const char* class_name;
  const char* title;
  HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<window_search*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (s->process_id && (pid != s->process_id || !IsWindowVisible(window))) return TRUE;
  char text[256];
  if (s->class_name && (!GetClassNameA(window, text, sizeof text) || lstrcmpiA(text, s->class_name) != 0)) return TRUE;
  if (s->title && (GetWindowTextA(window, text, sizeof text), lstrcmpA(text, s->title) != 0)) return TRUE;
  s->found = window;
  return FALSE;
}

HWND find_top_level(DWORD pid, const char* class_name, const char* title) {
  window_search s{pid, class_name, title, nullptr};
  EnumWindows(match_window, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

}  // namespace

std::string work_file(const std::string& name) { return windows_path(setting("TESSARIX_WORK") + "/" + name); }

app::~app() {
  if (process.hProcess) {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
}

bool app::start(DWORD deadline_ms, DWORD step_ms) {
  DeleteFileA(work_file("audio.raw").c_str());
  std::string exe = program.empty() ? windows_path(setting("TESSARIX_EXE")) : program;
  std::string command = "\"" + exe + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  QueryPerformanceCounter(&started);
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  return wait_until(
      [&] {
        window = find_top_level(process.dwProcessId, nullptr, "Tessarix V1.1");
        return window && button("Brisgauer-Homepage") != nullptr;
      },
      static_cast<int>(deadline_ms), static_cast<int>(step_ms));
}

bool app::idle(DWORD deadline_ms) const {
  // A message sent to the window is answered only from the program's wait, never during
  // a throw's pauses.
  DWORD_PTR answer = 0;
  return window && SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL,
                                       static_cast<UINT>(test_time::scaled_ms(static_cast<int>(deadline_ms))), &answer);
}

HWND app::control(const char* class_name, const char* text) const {
  if (!window) return nullptr;
  window_search s{0, class_name, text, nullptr};
  EnumChildWindows(window, match_window, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

long app::wait_exit(DWORD deadline_ms) {
  if (WaitForSingleObject(process.hProcess, test_time::scaled_ms(deadline_ms)) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<long>(code);
}

HWND app::requester() const { return find_top_level(process.dwProcessId, "#32770", nullptr); }

HWND app::wait_requester() const {
  HWND box = nullptr;
  bool up = wait_until(
      [&] {
        return (box = requester()) != nullptr && GetWindowTextLengthA(GetDlgItem(box, 0xFFFF)) > 0 &&
               GetForegroundWindow() == box;
      },
      5000);
  return up ? box : nullptr;
}

void app::activate() const {
  SetForegroundWindow(window);
  click(image_gadget());  // a plain click on the picture is a gadget event the loop ignores
  wait_until([&] { return GetForegroundWindow() == window; }, 2000);
  idle();
}

std::vector<std::string> app::close_and_read_report() const {
  activate();
  press_keys({VK_MENU, VK_F4});
  HWND box = wait_requester();
  if (!box) {
    ADD_FAILURE() << "no requester in front: requester " << requester() << ", foreground " << GetForegroundWindow()
                  << ", the window " << window;
    return {};
  }
  std::vector<std::string> lines = requester_lines(box);
  // NOTE: under load Wine can drop a click that comes right after the requester takes the
  // foreground; the key goes to its focus, the default button, whenever it looks.
  press_keys({VK_RETURN});
  return lines;
}

std::vector<std::string> requester_lines(HWND box) {
  char text[4096] = {};
  GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof text);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line, '\r');) lines.push_back(line);
  return lines;
}

// Counts the windows of the process: each top-level one with its descendants.
static BOOL CALLBACK count_window(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<std::pair<DWORD, long>*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != s->first) return TRUE;
  ++s->second;
  if (GetAncestor(window, GA_PARENT) == GetDesktopWindow()) EnumChildWindows(window, count_window, data);
  return TRUE;
}

long app::window_count() const {
  std::pair<DWORD, long> windows{process.dwProcessId, 0};
  EnumWindows(count_window, reinterpret_cast<LPARAM>(&windows));
  return windows.second;
}

// NOTE: Wine reports no CPU times for another process (GetProcessTimes gives zeros). The
// program runs as a Unix process whose command line names its executable; its times are
// read from the kernel's process table through Wine's drive Z:. The newest such process
// is ours: the tests start one program at a time.
long app::unix_pid() const {
  std::string exe = setting("TESSARIX_EXE");
  std::string name = exe.substr(exe.find_last_of('/') + 1);
  if (name.empty()) name = "Tessarix.exe";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return -1;
  long newest = -1;
  do {
    char* end = nullptr;
    long pid = std::strtol(found.cFileName, &end, 10);
    if (*end || pid <= newest) continue;
    std::vector<uint8_t> command = read_file(std::string("Z:\\proc\\") + found.cFileName + "\\cmdline");
    std::string text(command.begin(), command.end());
    if (text.find(name) != std::string::npos) newest = pid;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return newest;
}

double unix_cpu_ms(long pid, bool main_thread_only) {
  if (pid < 0) return -1;
  // The main thread's id is the process's.
  const std::string id = std::to_string(pid), process = "Z:\\proc\\" + id;
  std::vector<uint8_t> stat = read_file(main_thread_only ? process + "\\task\\" + id + "\\stat" : process + "\\stat");
  std::string text(stat.begin(), stat.end());
  size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  // Fields after the name: state (3), ... utime (14), stime (15), in clock ticks of 10 ms.
  unsigned long long utime = 0, stime = 0;
  if (std::sscanf(text.c_str() + close + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) !=
      2)
    return -1;
  return (utime + stime) * 10.0;
}

static void send_mouse(DWORD flags, int x, int y) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  // Absolute coordinates run from 0 to 65535 over the primary screen.
  input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
  SendInput(1, &input, sizeof input);
}

void move_pointer(int x, int y) {
  SetCursorPos(x, y);
  send_mouse(0, x, y);
}

static void click_screen(int x, int y) {
  move_pointer(x, y);
  Sleep(30);
  send_mouse(MOUSEEVENTF_LEFTDOWN, x, y);
  Sleep(30);
  send_mouse(MOUSEEVENTF_LEFTUP, x, y);
}

void click(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  click_screen((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void press_keys(std::initializer_list<WORD> keys) {
  auto send = [](WORD key, DWORD flags) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = key;
    i.ki.dwFlags = flags;
    SendInput(1, &i, sizeof i);
    Sleep(20);
  };
  for (WORD k : keys) send(k, 0);
  for (auto k = keys.end(); k != keys.begin();) send(*--k, KEYEVENTF_KEYUP);
}

std::vector<uint32_t> grab(const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  std::vector<uint32_t> pixels;
  if (w <= 0 || h <= 0) return pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    pixels.assign(p, p + static_cast<size_t>(w) * h);
    for (uint32_t& v : pixels) v &= 0xFFFFFF;
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::vector<uint32_t> grab(HWND window) {
  // NOTE: with the system scaled, a program that declares no DPI awareness (this driver)
  // reads the screen as black. The client area is then read in the screen's pixels, and
  // each of the program's pixels taken at the centre of the block that shows it.
  const bool scaled = screen_scale::asked_dpi() != 0;
  RECT size{}, r{};  // empty without a window
  GetClientRect(window, &size);
  std::vector<uint32_t> shown;
  {
    std::optional<screen_scale::screen_pixels> pixels;
    if (scaled) pixels.emplace();
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    shown = grab(r);
  }
  if (!scaled || shown.empty()) return shown;
  const LONG width = size.right, height = size.bottom, shown_width = r.right - r.left, shown_height = r.bottom - r.top;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  for (LONG y = 0; y < height; ++y)
    for (LONG x = 0; x < width; ++x)
      pixels[y * width + x] =
          shown[((2 * y + 1) * shown_height / (2 * height)) * shown_width + (2 * x + 1) * shown_width / (2 * width)];
  return pixels;
}

int shown_picture(const std::vector<uint32_t>& pixels) {
  // Decoded once: the animation's frames are told apart while they show.
  static const std::vector<std::vector<uint32_t>> pictures = [] {
    std::vector<std::vector<uint32_t>> all(7, std::vector<uint32_t>(300 * 300));
    for (int i = 0; i <= 6; ++i)
      for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) all[i][y * 300 + x] = dice_pictures::colour_at(dice_picture(i), x, y);
    return all;
  }();
  // At a display scale the screen shows the pictures smoothed, so each is compared only
  // where the smoothing keeps its colours: at the pixels inside its edge whose eight
  // neighbours have their colour.
  static const std::vector<std::vector<size_t>> steady = [] {
    std::vector<std::vector<size_t>> all(7);
    for (int i = 0; i <= 6; ++i)
      for (int y = 1; y < 299; ++y)
        for (int x = 1; x < 299; ++x) {
          const uint32_t* at = &pictures[i][y * 300 + x];
          bool same = true;
          for (int dy = -300; dy <= 300; dy += 300)
            for (int dx = -1; dx <= 1; ++dx) same = same && at[dy + dx] == *at;
          if (same) all[i].push_back(static_cast<size_t>(y) * 300 + x);
        }
    return all;
  }();
  const bool smoothed = screen_scale::asked_dpi() != 0;
  for (int i = 0; i <= 6; ++i) {
    if (!smoothed ? pixels == pictures[i]
                  : pixels.size() == pictures[i].size() &&
                        std::all_of(steady[i].begin(), steady[i].end(),
                                    [&](size_t at) { return pixels[at] == pictures[i][at]; }))
      return i;
  }
  return -1;
}

namespace {
HWND watched_die;
std::vector<std::string>* announced = nullptr;

// A platform callback: the platform's calling convention on the 32-bit build too.
void CALLBACK note_name(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (!announced || window != watched_die || object != OBJID_CLIENT || child != CHILDID_SELF) return;
  // Read wide and kept as Windows-1252, as the driver may run under another code page.
  wchar_t wide[64] = {};
  GetWindowTextW(window, wide, 64);
  char text[128] = {};
  WideCharToMultiByte(1252, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  announced->push_back(text);
}
}  // namespace

die_watch::die_watch(const app& a) : die_(a.image_gadget()) {
  watched_die = die_;
  announced = &names_;
  hook_ = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, note_name, a.process.dwProcessId,
                          0, WINEVENT_OUTOFCONTEXT);
}

die_watch::~die_watch() {
  if (hook_) UnhookWinEvent(hook_);
  announced = nullptr;
}

const std::vector<std::string>& die_watch::names() {
  test_time::pump_messages(0);
  return names_;
}

int die_watch::wait_throws(size_t n, DWORD deadline_ms) {
  int face = -1;
  wait_until(
      [&] {
        face = shown_picture(grab(die_));
        if (shown.empty() || shown.back() != face) shown.push_back(face);
        int named = 0;
        return names_.size() >= n && std::sscanf(names_.back().c_str(), "W\xFCrfel: %d", &named) == 1 && named == face;
      },
      static_cast<int>(deadline_ms), [] { test_time::pump_messages(1); });
  return names_.size() >= n ? face : -1;
}

bool save_screenshot(const RECT& r, const std::string& file) {
  std::vector<uint32_t> pixels = grab(r);
  if (pixels.empty()) return false;
  for (uint32_t& v : pixels) v |= 0xFF000000;  // opaque, for a reader that takes the fourth byte as alpha
  const auto bytes = static_cast<DWORD>(pixels.size() * sizeof pixels[0]);
  BITMAPFILEHEADER head{};
  BITMAPINFOHEADER info{};
  head.bfType = 0x4D42;
  head.bfOffBits = sizeof head + sizeof info;
  head.bfSize = head.bfOffBits + bytes;
  info.biSize = sizeof info;
  info.biWidth = r.right - r.left;
  info.biHeight = r.top - r.bottom;  // rows from the top
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biSizeImage = bytes;
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&head), sizeof head);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(reinterpret_cast<const char*>(pixels.data()), bytes);
  return out.good();
}

std::vector<std::string> opened_addresses() {
  std::ifstream in(work_file("opened.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace e2e
