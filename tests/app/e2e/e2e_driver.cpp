#include "tests/app/e2e/e2e_driver.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

#include "app/assets.h"

namespace e2e {

std::string windows_path(const std::string& unix_path) {
  std::string p = "Z:" + unix_path;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

std::string setting(const char* name) {
  char value[2048];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n && n < sizeof value ? std::string(value, n) : std::string();
}

namespace {

std::vector<uint8_t> read_file(const std::string& windows_file) {
  std::ifstream in(windows_file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct window_search {
  DWORD process_id;
  const char* class_name;
  const char* title;
  HWND found;
};

BOOL CALLBACK match_top_level(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<window_search*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != s->process_id || !IsWindowVisible(window)) return TRUE;
  char text[256];
  if (s->class_name) {
    GetClassNameA(window, text, sizeof text);
    if (lstrcmpiA(text, s->class_name) != 0) return TRUE;
  }
  if (s->title) {
    GetWindowTextA(window, text, sizeof text);
    if (lstrcmpA(text, s->title) != 0) return TRUE;
  }
  s->found = window;
  return FALSE;
}

HWND find_top_level(DWORD pid, const char* class_name, const char* title) {
  window_search s{pid, class_name, title, nullptr};
  EnumWindows(match_top_level, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

}  // namespace

app::~app() {
  if (process.hProcess) {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
}

bool app::start(DWORD deadline_ms, DWORD step_ms) {
  DeleteFileA(windows_path(setting("TESSARIX_WORK") + "/audio.raw").c_str());
  std::string exe = program.empty() ? windows_path(setting("TESSARIX_EXE")) : program;
  std::string command = "\"" + exe + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  return wait_for(
      [&] {
        window = find_top_level(process.dwProcessId, nullptr, "Tessarix V1.1");
        return window && button("Brisgauer-Homepage") != nullptr;
      },
      deadline_ms, step_ms);
}

struct child_search {
  const char* class_name;
  const char* text;
  HWND found;
};

static BOOL CALLBACK match_child(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<child_search*>(data);
  char buffer[256];
  GetClassNameA(window, buffer, sizeof buffer);
  if (lstrcmpiA(buffer, s->class_name) != 0) return TRUE;
  if (s->text) {
    GetWindowTextA(window, buffer, sizeof buffer);
    if (lstrcmpA(buffer, s->text) != 0) return TRUE;
  }
  s->found = window;
  return FALSE;
}

HWND app::control(const char* class_name, const char* text) const {
  if (!window) return nullptr;
  child_search s{class_name, text, nullptr};
  EnumChildWindows(window, match_child, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

long app::wait_exit(DWORD deadline_ms) {
  if (WaitForSingleObject(process.hProcess, test_time::scaled_ms(deadline_ms)) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<long>(code);
}

HWND app::requester() const { return find_top_level(process.dwProcessId, "#32770", nullptr); }

static BOOL CALLBACK count_window(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<std::pair<DWORD, long>*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == s->first) ++s->second;
  return TRUE;
}

static BOOL CALLBACK count_top_level(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<std::pair<DWORD, long>*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != s->first) return TRUE;
  ++s->second;
  EnumChildWindows(window, count_window, data);
  return TRUE;
}

long app::window_count() const {
  std::pair<DWORD, long> windows{process.dwProcessId, 0};
  EnumWindows(count_top_level, reinterpret_cast<LPARAM>(&windows));
  return windows.second;
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

void click_screen(int x, int y) {
  SetCursorPos(x, y);
  send_mouse(0, x, y);
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
  std::vector<INPUT> inputs;
  for (WORD k : keys) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    inputs.push_back(i);
  }
  for (auto k = keys.end(); k != keys.begin();) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = *--k;
    i.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(i);
  }
  for (INPUT& i : inputs) {
    SendInput(1, &i, sizeof i);
    Sleep(20);
  }
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
  RECT r;
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return grab(r);
}

std::vector<uint32_t> picture(int i) {
  const uint8_t* file = dice_picture(i);
  std::vector<uint32_t> pixels;
  if (!file) return pixels;
  pixels.resize(300 * 300);
  const uint8_t* palette = file + 54;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 300; ++x) {
      uint8_t pair = file[118 + (299 - y) * 152 + x / 2];
      int index = x % 2 ? pair & 15 : pair >> 4;
      const uint8_t* c = palette + 4 * index;  // blue, green, red
      pixels[y * 300 + x] = static_cast<uint32_t>(c[2]) << 16 | c[1] << 8 | c[0];
    }
  return pixels;
}

int shown_picture(const std::vector<uint32_t>& pixels) {
  for (int i = 0; i <= 6; ++i)
    if (pixels == picture(i)) return i;
  return -1;
}

bool save_screenshot(const RECT& r, const std::string& file) {
  std::vector<uint32_t> pixels = grab(r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (pixels.empty()) return false;
  const int stride = (w * 3 + 3) / 4 * 4;
  BITMAPFILEHEADER head{};
  BITMAPINFOHEADER info{};
  head.bfType = 0x4D42;
  head.bfOffBits = sizeof head + sizeof info;
  head.bfSize = head.bfOffBits + stride * h;
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = h;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = stride * h;
  FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return false;
  std::fwrite(&head, sizeof head, 1, f);
  std::fwrite(&info, sizeof info, 1, f);
  std::vector<uint8_t> row(stride);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      uint32_t v = pixels[y * w + x];
      row[3 * x] = v & 0xFF, row[3 * x + 1] = (v >> 8) & 0xFF, row[3 * x + 2] = (v >> 16) & 0xFF;
    }
    std::fwrite(row.data(), 1, row.size(), f);
  }
  return std::fclose(f) == 0;
}

std::vector<sound_run> sound_runs(int gap_ms) {
  std::vector<uint8_t> raw = read_file(windows_path(setting("TESSARIX_WORK") + "/audio.raw"));
  std::vector<sound_run> runs;
  const size_t frames = raw.size() / 4;
  const double ms_per_frame = 1000.0 / 44100.0;
  const size_t gap = static_cast<size_t>(gap_ms / ms_per_frame);
  const size_t mixer_gap = 64;
  // missed: frames in zero runs of mixer_gap or more so far; the rest mark where runs lie.
  size_t run_start = 0, last_loud = 0, zeros = 0, missed = 0, at_start = 0, at_loud = 0, at_end = 0;
  int peak = 0;
  bool in_run = false;
  auto close_run = [&] {
    runs.push_back({run_start * ms_per_frame, (last_loud + 1 - run_start) * ms_per_frame, peak,
                    (at_loud - at_start) * ms_per_frame, (at_start - at_end) * ms_per_frame});
    at_end = at_loud;
    in_run = false;
  };
  for (size_t i = 0; i < frames; ++i) {
    int l = static_cast<int16_t>(raw[4 * i] | raw[4 * i + 1] << 8);
    int r = static_cast<int16_t>(raw[4 * i + 2] | raw[4 * i + 3] << 8);
    zeros = l == 0 && r == 0 ? zeros + 1 : 0;
    if (zeros == mixer_gap) missed += mixer_gap;
    if (zeros > mixer_gap) ++missed;
    int level = std::max(std::abs(l), std::abs(r));
    if (level < 200) {
      if (in_run && i - last_loud > gap) close_run();
      continue;
    }
    if (!in_run) in_run = true, run_start = i, peak = 0, at_start = missed;
    last_loud = i;
    at_loud = missed;
    peak = std::max(peak, level);
  }
  if (in_run) close_run();
  return runs;
}

std::vector<std::string> opened_addresses() {
  std::vector<uint8_t> text = read_file(windows_path(setting("TESSARIX_WORK") + "/opened.txt"));
  std::vector<std::string> lines;
  std::string line;
  for (uint8_t c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace e2e
