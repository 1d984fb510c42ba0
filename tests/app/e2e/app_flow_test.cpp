// The finished program under Wine, a virtual display and a window manager, driven from
// outside with real input: window and layout, a throw with its sounds and animation,
// the statistics requester, "ENDE" and the home-page button.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/accessible_name.h"
#include "tests/app/e2e/e2e_driver.h"

#include <wincrypt.h>

using namespace e2e;

namespace {

const char* const STATISTICS_TITLE = "Tessarix: W\xFCrfelstatistik";

// Puts the program's window in front, as a user's click on it would.
void activate(app& a) {
  SetForegroundWindow(a.window);
  click(a.image_gadget());  // a plain click on the picture is a gadget event the loop ignores
  Sleep(200);
}

// Waits (bounded) for the program to end and notes whether a requester showed meanwhile;
// the exit code, or -1 when it did not end.
long wait_exit_watching_requester(app& a, bool& requester_seen) {
  long code = -1;
  wait_for(
      [&] {
        requester_seen |= a.requester() != nullptr;
        code = a.wait_exit(0);
        return code != -1;
      },
      10000);
  return code;
}

// The requester's text, split at its carriage returns.
std::vector<std::string> requester_lines(HWND box) {
  char text[4096] = {};
  GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof text);
  std::vector<std::string> lines;
  std::string line;
  for (const char* c = text; *c; ++c) {
    if (*c == '\r') {
      lines.push_back(line);
      line.clear();
    } else {
      line += *c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Checks a report against itself: the throws, the faces' counts, pips and shares must
// agree with each other. Returns the number of throws it states, -1 if unreadable.
int check_report(const std::vector<std::string>& lines) {
  EXPECT_EQ(10u, lines.size()) << "two paragraphs with empty lines, then six face lines";
  if (lines.size() != 10) return -1;
  int throws = -1, total = -1;
  EXPECT_EQ(1, std::sscanf(lines[0].c_str(), "Es wurde %dmal gew\xFCrfelt", &throws)) << lines[0];
  EXPECT_EQ("Es wurde " + std::to_string(throws) + "mal gew\xFCrfelt", lines[0]);
  EXPECT_EQ("", lines[1]);
  EXPECT_EQ(1, std::sscanf(lines[2].c_str(), "Insgesamt wurden %d Augen", &total)) << lines[2];
  EXPECT_EQ("Insgesamt wurden " + std::to_string(total) + " Augen erw\xFCrfelt", lines[2]);
  EXPECT_EQ("", lines[3]);
  int count_sum = 0, pip_sum = 0;
  for (int k = 1; k <= 6; ++k) {
    const std::string& l = lines[3 + k];
    int face = 0, count = -1, pips = -1;
    if (std::sscanf(l.c_str(), "Die '%d' wurde %dmal gew\xFCrfelt = %d Augen", &face, &count, &pips) != 3) {
      ADD_FAILURE() << "unreadable face line: " << l;
      return -1;
    }
    EXPECT_EQ(k, face) << l;
    EXPECT_EQ(k * count, pips) << l;
    // The share as the program computes it: 100 / throws first, times the count, as a float.
    char share[32];
    std::snprintf(share, sizeof share, "%.2f", static_cast<double>(static_cast<float>(100.0 / throws * count)));
    char expected[200];
    std::snprintf(expected, sizeof expected, "Die '%d' wurde %dmal gew\xFCrfelt = %d Augen; Verteilungsanteil war %s%%",
                  k, count, pips, share);
    EXPECT_EQ(std::string(expected), l);
    count_sum += count;
    pip_sum += pips;
  }
  EXPECT_EQ(throws, count_sum) << "face counts add up to the throws";
  EXPECT_EQ(total, pip_sum) << "face pips add up to the total";
  return throws;
}

// The sound runs as "start+length" in milliseconds, for failure messages.
std::string describe(const std::vector<sound_run>& runs) {
  std::string text;
  for (const sound_run& r : runs)
    text += std::to_string(static_cast<int>(r.start_ms)) + "+" + std::to_string(static_cast<int>(r.length_ms)) + " ";
  return text.empty() ? "silence" : text;
}

std::string shot_path(const char* name) { return windows_path(setting("TESSARIX_WORK") + "/" + name); }

// The window as the user sees it: the client area and the frame around it.
RECT window_rect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}

}  // namespace

TEST(app_window, opens_centred_with_the_start_picture_and_three_buttons) {
  app a;
  ASSERT_TRUE(a.start()) << "no window \"Tessarix V1.1\"";
  RECT client;
  GetClientRect(a.window, &client);
  EXPECT_EQ(320, client.right) << "inner width";
  EXPECT_EQ(360, client.bottom) << "inner height";
  RECT outer = window_rect(a.window);
  int cx = (outer.left + outer.right) / 2, cy = (outer.top + outer.bottom) / 2;
  EXPECT_NEAR(GetSystemMetrics(SM_CXSCREEN) / 2, cx, 16) << "centred horizontally";
  EXPECT_NEAR(GetSystemMetrics(SM_CYSCREEN) / 2, cy, 40) << "centred vertically";

  struct place {
    const char* class_name;
    const char* text;
    RECT expected;
  };
  const place places[] = {{"Static", nullptr, {10, 10, 310, 310}},
                          {"Button", "START", {10, 320, 60, 350}},
                          {"Button", "ENDE", {70, 320, 120, 350}},
                          {"Button", "Brisgauer-Homepage", {160, 320, 310, 350}}};
  for (const place& p : places) {
    HWND control = a.control(p.class_name, p.text);
    ASSERT_NE(nullptr, control) << p.class_name << " " << (p.text ? p.text : "");
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, a.window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(p.expected.left, r.left) << (p.text ? p.text : "image");
    EXPECT_EQ(p.expected.top, r.top) << (p.text ? p.text : "image");
    EXPECT_EQ(p.expected.right, r.right) << (p.text ? p.text : "image");
    EXPECT_EQ(p.expected.bottom, r.bottom) << (p.text ? p.text : "image");
  }
  EXPECT_TRUE(wait_for([&] { return shown_picture(grab(a.image_gadget())) == 0; }, 5000))
      << "the image gadget's screen pixels are the start picture; shows " << shown_picture(grab(a.image_gadget()));

  // "ENDE" before any throw: one click, exit code 0, no requester.
  Sleep(500);
  click(a.button("ENDE"));
  bool requester_seen = false;
  long code = wait_exit_watching_requester(a, requester_seen);
  EXPECT_EQ(0, code) << "exit code after ENDE";
  EXPECT_FALSE(requester_seen) << "no statistics without a throw";
  std::vector<sound_run> runs = sound_runs(20);
  ASSERT_EQ(1u, runs.size()) << "one click, nothing else: " << describe(runs);
  EXPECT_LT(runs[0].length_ms, 60) << "a short click";
}

TEST(app_throw, start_plays_click_then_roll_and_ends_on_one_face) {
  app a;
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(wait_for([&] { return shown_picture(grab(a.image_gadget())) == 0; }, 5000));
  Sleep(500);
  click(a.button("START"));
  // The animation runs through the faces; about 700 ms later one face stays.
  std::vector<int> seen;
  wait_for(
      [&] {
        int shown = shown_picture(grab(a.image_gadget()));
        if (seen.empty() || seen.back() != shown) seen.push_back(shown);
        return false;
      },
      1500, 5);
  ASSERT_FALSE(seen.empty());
  int face = seen.back();
  EXPECT_GE(face, 1) << "a face after the throw";
  EXPECT_LE(face, 6);
  EXPECT_GE(seen.size(), 3u) << "the animation's frames were on screen";
  Sleep(500);
  EXPECT_EQ(face, shown_picture(grab(a.image_gadget()))) << "the thrown face stays";

  // The click, then after its pause the rolling die, played once to its end. The mixer's
  // start-up latency and its missed periods under load move the sink's times, so the roll
  // is judged against its own length: it spans most of it, and what sounded (the span
  // without the mixer's gaps) is not longer than one play.
  Sleep(500);
  std::vector<sound_run> runs = sound_runs(20);
  ASSERT_GE(runs.size(), 2u) << "click and roll in the audio sink: " << describe(runs);
  EXPECT_LT(runs[0].length_ms, 60) << "the first sound is the short click: " << describe(runs);
  double roll_delay = runs[1].start_ms - runs[0].start_ms;
  EXPECT_GT(roll_delay, 70) << "the roll follows the click's pause: " << describe(runs);
  const double roll_ms = 540;  // roll.wav: 8635 frames at 16000 Hz
  double roll_span = runs.back().start_ms + runs.back().length_ms - runs[1].start_ms;
  double roll_gaps = 0;
  for (size_t i = 1; i < runs.size(); ++i) roll_gaps += runs[i].gap_ms + (i > 1 ? runs[i].gap_before_ms : 0);
  EXPECT_GT(roll_span, 0.55 * roll_ms) << "the rolling sound: " << describe(runs);
  EXPECT_LT(roll_span - roll_gaps, 1.3 * roll_ms)
      << "played once; mixer gaps " << roll_gaps << " ms: " << describe(runs);

  ASSERT_TRUE(save_screenshot(window_rect(a.window), shot_path("window-after-throw.bmp")));

  // Two quick presses make two complete throws, one after the other.
  click(a.button("START"));
  Sleep(80);
  click(a.button("START"));
  Sleep(2500);
  EXPECT_GE(shown_picture(grab(a.image_gadget())), 1);

  // The close box ends the loop; the statistics of the three throws follow.
  activate(a);
  press_keys({VK_MENU, VK_F4});
  HWND box = nullptr;
  ASSERT_TRUE(wait_for([&] { return (box = a.requester()) != nullptr; }, 5000)) << "statistics requester";
  Sleep(300);
  char title[128] = {};
  GetWindowTextA(box, title, sizeof title);
  EXPECT_STREQ(STATISTICS_TITLE, title);
  EXPECT_EQ(3, check_report(requester_lines(box)));
  ASSERT_TRUE(save_screenshot(window_rect(box), shot_path("statistics.bmp")));
  click(GetDlgItem(box, IDOK));
  EXPECT_EQ(0, a.wait_exit(10000)) << "exit code after the requester";
  // The close box gave no click of its own; closing the requester gives one, the last sound.
  runs = sound_runs(20);
  ASSERT_FALSE(runs.empty());
  EXPECT_LT(runs.back().length_ms, 60) << "the requester's click comes last: " << describe(runs);
  EXPECT_GT(runs.back().start_ms - (runs[runs.size() - 2].start_ms + runs[runs.size() - 2].length_ms), 200)
      << "apart from the last roll: " << describe(runs);
}

TEST(app_home_page, each_press_hands_the_address_to_the_browser_once) {
  DeleteFileA(windows_path(setting("TESSARIX_WORK") + "/opened.txt").c_str());
  app a;
  ASSERT_TRUE(a.start());
  Sleep(500);
  for (size_t presses = 1; presses <= 2; ++presses) {
    click(a.button("Brisgauer-Homepage"));
    EXPECT_TRUE(wait_for([&] { return opened_addresses().size() >= presses; }, 15000)) << "press " << presses;
  }
  Sleep(2000);
  std::vector<std::string> opened = opened_addresses();
  ASSERT_EQ(2u, opened.size()) << "once per press";
  for (const std::string& address : opened) EXPECT_EQ(TESSARIX_HOME_PAGE, address);
  EXPECT_EQ(0, shown_picture(grab(a.image_gadget()))) << "no throw was made";

  // Closed without a throw: no requester, exit code 0.
  activate(a);
  press_keys({VK_MENU, VK_F4});
  bool requester_seen = false;
  long code = wait_exit_watching_requester(a, requester_seen);
  EXPECT_EQ(0, code);
  EXPECT_FALSE(requester_seen);
}

// The program file's own resources: icon 1, the German version record and the manifest.
TEST(app_resources, icon_version_record_and_manifest) {
  std::string exe = windows_path(setting("TESSARIX_EXE"));
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module) << exe;

  HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_NE(nullptr, group) << "icon 1";
  const auto* directory = static_cast<const uint8_t*>(LockResource(LoadResource(module, group)));
  ASSERT_NE(nullptr, directory);
  EXPECT_EQ(1, directory[4] | directory[5] << 8) << "one image";
  EXPECT_EQ(47, directory[6]) << "width";
  EXPECT_EQ(37, directory[7]) << "height";
  EXPECT_EQ(24, directory[12] | directory[13] << 8) << "bits per pixel";
  HICON icon = LoadIconA(module, MAKEINTRESOURCEA(1));
  EXPECT_NE(nullptr, icon) << "the platform makes an icon of it";

  HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(nullptr, manifest) << "manifest 1";
  std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                   SizeofResource(module, manifest));
  EXPECT_NE(std::string::npos, text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"")) << text;
  const char* processor = sizeof(void*) == 8 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"x86\"";
  EXPECT_NE(std::string::npos, text.find(processor)) << text;
  FreeLibrary(module);

  DWORD ignored = 0, size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> version(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, version.data()));
  struct translation {
    WORD language, code_page;
  }* t = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(version.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&t), &length));
  ASSERT_GE(length, sizeof *t);
  EXPECT_EQ(0x0407, t->language) << "German";
  EXPECT_EQ(1252, t->code_page);
  const struct {
    const char* name;
    const char* value;
  } values[] = {{"FileVersion", "1.1"},
                {"ProductVersion", "1.1"},
                {"FileDescription", "Computerw\xFCrfel mit Zufallszahlenfunktion"}};
  for (const auto& v : values) {
    char* text_value = nullptr;
    std::string key = std::string("\\StringFileInfo\\040704E4\\") + v.name;
    ASSERT_TRUE(VerQueryValueA(version.data(), key.c_str(), reinterpret_cast<void**>(&text_value), &length)) << key;
    EXPECT_STREQ(v.value, text_value) << key;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueA(version.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0x00010001u, fixed->dwFileVersionMS) << "1.1";
  EXPECT_EQ(0x00010001u, fixed->dwProductVersionMS) << "1.1";
}

// The program's other paths: its fallbacks, each made real by the system it runs on, and
// what an assistive tool learns of the die.
namespace {

using test_access::accessible_name;

// A variable of the environment that the programs a test starts inherit, put back when
// the test ends.
class scoped_environment {
 public:
  scoped_environment(const char* name, const std::string& value)
      : name_(name), old_(setting(name)), had_(GetEnvironmentVariableA(name, nullptr, 0) != 0) {
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~scoped_environment() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

 private:
  const char* name_;
  std::string old_;
  bool had_;
};

// A system DLL disabled for Tessarix.exe alone, as Wine's per-program DLL settings do it
// (an empty value), for as long as the object lives. NOTE: Wine takes WINEDLLOVERRIDES
// from the Unix environment it started with, not from the environment a parent passes
// to CreateProcess, so the per-program registry setting is the seam here.
class disabled_dll {
 public:
  explicit disabled_dll(const char* dll) : dll_(dll) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) return;
    ok_ = !RegSetValueExA(key, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
  }
  ~disabled_dll() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, &key)) return;
    RegDeleteValueA(key, dll_);
    RegCloseKey(key);
  }
  bool ok() const { return ok_; }

 private:
  static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\Tessarix.exe\\DllOverrides";
  const char* dll_;
  bool ok_ = false;
};

double ms_since(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t;
}

// Presses "START" and waits out the throw (about 700 ms); the face the screen then shows.
int throw_once(app& a) {
  click(a.button("START"));
  Sleep(1300);
  return shown_picture(grab(a.image_gadget()));
}

// Closes the window with its close box, reads the statistics and closes the requester;
// no lines when none came.
std::vector<std::string> close_and_read_report(app& a) {
  activate(a);
  press_keys({VK_MENU, VK_F4});
  HWND box = nullptr;
  if (!wait_for([&] { return (box = a.requester()) != nullptr; }, 5000)) return {};
  Sleep(300);
  std::vector<std::string> lines = requester_lines(box);
  click(GetDlgItem(box, IDOK));
  return lines;
}

// Each face's count as the report states it (index 1..6), -1 where unreadable.
std::array<int, 7> report_counts(const std::vector<std::string>& lines) {
  std::array<int, 7> counts;
  counts.fill(-1);
  for (size_t i = 4; i < lines.size() && i < 10; ++i) {
    int face = 0, count = 0;
    if (std::sscanf(lines[i].c_str(), "Die '%d' wurde %dmal", &face, &count) == 2 && face >= 1 && face <= 6)
      counts[face] = count;
  }
  return counts;
}

long file_length(const std::string& windows_file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(windows_file.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<long>(data.nFileSizeLow);
}

// The user's default provider of the full RSA type made one whose every draw fails, for as
// long as the object lives: registered where providers are, and named as the user's
// default for the type.
class failing_default_provider {
 public:
  failing_default_provider() {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string image = module;
    image = image.substr(0, image.find_last_of('\\') + 1) + "failing_provider.dll";
    const DWORD type = PROV_RSA_FULL;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) return;
    bool registered = !RegSetValueExA(key, "Image Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(image.c_str()),
                                      static_cast<DWORD>(image.size() + 1)) &&
                      !RegSetValueExA(key, "Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), sizeof type);
    RegCloseKey(key);
    if (!registered ||
        RegCreateKeyExA(HKEY_CURRENT_USER, kUserDefaultKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
      return;
    ready_ = !RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(kName), sizeof kName);
    RegCloseKey(key);
  }
  ~failing_default_provider() {
    RegDeleteKeyA(HKEY_CURRENT_USER, kUserDefaultKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProviderKey);
  }
  bool ready() const { return ready_; }

 private:
  static constexpr char kName[] = "Tessarix Test Failing Draws";
  static constexpr const char* kProviderKey =
      "Software\\Microsoft\\Cryptography\\Defaults\\Provider\\Tessarix Test Failing Draws";
  static constexpr const char* kUserDefaultKey = "Software\\Microsoft\\Cryptography\\Provider Type 001";
  bool ready_ = false;
};

constexpr int kFallbackThrows = 8;

}  // namespace

TEST(app_fallback, throws_come_from_the_generator_when_the_source_is_missing_or_fails) {
  const std::string draws_file = windows_path(setting("TESSARIX_WORK") + "/failed-draws");
  const struct {
    const char* what;
    const char* disabled;  // a DLL disabled for the program, or null
    bool failing_source;   // the source opens, and each draw fails
  } cases[] = {{"no cryptographic source: its provider's module is disabled", "rsaenh", false},
               {"a source whose every draw fails", nullptr, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<failing_default_provider> provider;
    if (c.failing_source) {
      provider = std::make_unique<failing_default_provider>();
      ASSERT_TRUE(provider->ready()) << "the failing provider could not be made the user's default";
    }
    std::unique_ptr<disabled_dll> missing;
    if (c.disabled) {
      missing = std::make_unique<disabled_dll>(c.disabled);
      ASSERT_TRUE(missing->ok());
    }
    DeleteFileA(draws_file.c_str());
    scoped_environment environment("TESSARIX_FAILED_DRAWS", draws_file);
    app a;
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(wait_for([&] { return shown_picture(grab(a.image_gadget())) == 0; }, 5000));
    Sleep(500);
    std::array<int, 7> seen{};
    for (int n = 0; n < kFallbackThrows; ++n) {
      int face = throw_once(a);
      ASSERT_GE(face, 1) << "throw " << n << ": a face on screen";
      ASSERT_LE(face, 6) << "throw " << n;
      ++seen[face];
    }
    std::vector<std::string> lines = close_and_read_report(a);
    EXPECT_EQ(kFallbackThrows, check_report(lines)) << "every throw counted";
    std::array<int, 7> counted = report_counts(lines);
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(seen[k], counted[k]) << "face " << k << ": on screen, in the statistics";
    EXPECT_LT(seen[1], kFallbackThrows) << "the throws are drawn, not face 1 each time";
    EXPECT_EQ(0, a.wait_exit(10000));
    EXPECT_EQ(c.failing_source ? kFallbackThrows : 0, file_length(draws_file))
        << "draws the source was asked for and failed";
  }
}

TEST(app_fallback, runs_silently_without_a_sound_device_and_keeps_its_pauses) {
  // No sound driver at all: the platform's sound system finds no device.
  disabled_dll no_sound_driver("winealsa.drv");
  ASSERT_TRUE(no_sound_driver.ok());
  app a;
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(wait_for([&] { return shown_picture(grab(a.image_gadget())) == 0; }, 5000));
  Sleep(500);

  // Where the click would sound, the pause before the animation's first frame stays.
  click(a.button("START"));
  LARGE_INTEGER pressed = now();
  ASSERT_TRUE(wait_for([&] { return shown_picture(grab(a.image_gadget())) != 0; }, 3000, 1));
  double pause = ms_since(pressed);
  EXPECT_GE(pause, 90) << "from the press to the first frame";
  Sleep(1300);
  int face = shown_picture(grab(a.image_gadget()));
  EXPECT_GE(face, 1);
  EXPECT_LE(face, 6);

  // "ENDE": the click's pause before the requester, and after it before the end.
  click(a.button("ENDE"));
  pressed = now();
  HWND box = nullptr;
  ASSERT_TRUE(wait_for([&] { return (box = a.requester()) != nullptr; }, 5000, 1)) << "statistics requester";
  EXPECT_GE(ms_since(pressed), 90) << "from ENDE to the requester";
  Sleep(300);
  EXPECT_EQ(1, check_report(requester_lines(box)));
  click(GetDlgItem(box, IDOK));
  pressed = now();
  EXPECT_EQ(0, a.wait_exit(30000)) << "exit code";
  EXPECT_GE(ms_since(pressed), 90) << "from closing the requester to the end";
  std::vector<sound_run> runs = sound_runs(20);
  EXPECT_TRUE(runs.empty()) << "nothing reached the sound sink: " << describe(runs);
}

TEST(app_fallback, ends_with_exit_code_0_when_its_window_cannot_be_opened) {
  // No display driver: the platform refuses every top-level window of the program.
  disabled_dll no_display_driver("winex11.drv");
  ASSERT_TRUE(no_display_driver.ok());
  app a;
  EXPECT_FALSE(a.start(5000)) << "a window appeared";
  EXPECT_EQ(0, a.wait_exit(60000)) << "the program ends by itself, with exit code 0";
}

namespace {

HWND watched_die;
std::vector<std::string> announced_names;

// A platform callback: the platform's calling convention on the 32-bit build too.
void CALLBACK note_die_name_change(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (window == watched_die && object == OBJID_CLIENT && child == CHILDID_SELF)
    announced_names.push_back(accessible_name(window));
}

}  // namespace

TEST(app_accessibility, the_die_is_named_by_the_face_the_screen_shows) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  app a;
  ASSERT_TRUE(a.start());
  HWND die = a.image_gadget();
  ASSERT_TRUE(wait_for([&] { return shown_picture(grab(die)) == 0; }, 5000));
  EXPECT_EQ(
      "W\xFC"
      "rfel",
      accessible_name(die))
      << "the start picture";

  // An assistive tool listens, outside the program, for name changes of the die.
  watched_die = die;
  announced_names.clear();
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, note_die_name_change,
                                       a.process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(nullptr, hook);
  auto pump = [](DWORD ms) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      Sleep(5);
    }
  };
  Sleep(500);
  for (size_t n = 1; n <= 3; ++n) {
    click(a.button("START"));
    pump(1000);
    // The screen shows the thrown face a moment after the program set it.
    int face = -1;
    std::string name;
    bool agree = wait_for(
        [&] {
          pump(20);
          face = shown_picture(grab(die));
          name = accessible_name(die);
          return face >= 1 &&
                 name ==
                     "W\xFC"
                     "rfel: " +
                         std::to_string(face) &&
                 announced_names.size() >= n;
        },
        5000);
    EXPECT_TRUE(agree) << "throw " << n << ": the screen shows " << face << " (-1: no picture exactly), the name is "
                       << name;
    ASSERT_EQ(n, announced_names.size()) << "one announcement per throw, none during the animation";
    EXPECT_EQ(name, announced_names.back()) << "throw " << n;
  }
  UnhookWinEvent(hook);
  CoUninitialize();

  click(a.button("ENDE"));
  HWND box = nullptr;
  ASSERT_TRUE(wait_for([&] { return (box = a.requester()) != nullptr; }, 5000));
  Sleep(300);
  click(GetDlgItem(box, IDOK));
  EXPECT_EQ(0, a.wait_exit(10000));
}

namespace {

using test_access::accessible_name_w;

// A 1252 text as the characters it is, by the platform's own conversion.
std::wstring from_1252(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                  static_cast<int>(wide.size())));
  return wide;
}

// A window's text as the platform holds it (what its caption shows).
std::wstring held_text(HWND window) {
  wchar_t text[4096] = {};
  GetWindowTextW(window, text, 4096);
  return text;
}

// A window's text as its own procedures hand it to a tool that asks.
std::wstring answered_text(HWND window) {
  wchar_t text[4096] = {};
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      test_time::scaled_ms(5000), &length);
  return text;
}

// The ANSI code page that a program started now, with this environment, gets; 0 if unknown.
UINT code_page_of_a_started_program() {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, sizeof module);
  std::string probe = module;
  probe = probe.substr(0, probe.find_last_of('\\') + 1) + "code_page_probe.exe";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(probe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 0;
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, test_time::scaled_ms(30000)) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

}  // namespace

// The German texts reach the user as themselves whatever the system's ANSI code page. The
// build runs this under each code page of its table (tests/app/e2e/CMakeLists.txt), which
// names the one expected in TESSARIX_CODE_PAGE; the plain run is the 1252 one.
TEST(app_texts, read_as_themselves_under_every_ansi_code_page) {
  const std::string asked = setting("TESSARIX_CODE_PAGE");
  const UINT code_page = asked.empty() ? 1252 : static_cast<UINT>(std::stoul(asked));
  ASSERT_EQ(code_page, code_page_of_a_started_program()) << "is the locale made? (scripts/install-deps.sh)";
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  app a;
  ASSERT_TRUE(a.start());
  EXPECT_EQ(L"Tessarix V1.1", held_text(a.window));
  EXPECT_EQ(L"Tessarix V1.1", answered_text(a.window));
  HWND die = a.image_gadget();
  ASSERT_TRUE(wait_for([&] { return shown_picture(grab(die)) == 0; }, 5000));
  EXPECT_EQ(from_1252("W\xFCrfel"), accessible_name_w(die)) << "the start picture";
  Sleep(500);
  const int face = throw_once(a);
  ASSERT_GE(face, 1) << "a face on screen";
  const std::wstring face_name = from_1252("W\xFCrfel: " + std::to_string(face));
  wait_for([&] { return accessible_name_w(die) == face_name; }, 5000);
  EXPECT_EQ(face_name, accessible_name_w(die));

  click(a.button("ENDE"));
  HWND box = nullptr;
  ASSERT_TRUE(wait_for([&] { return (box = a.requester()) != nullptr; }, 5000)) << "statistics requester";
  Sleep(300);
  EXPECT_EQ(from_1252(STATISTICS_TITLE), held_text(box));
  const std::wstring report = held_text(GetDlgItem(box, 0xFFFF));
  const std::wstring first_line = from_1252("Es wurde 1mal gew\xFCrfelt\r");
  EXPECT_EQ(first_line, report.substr(0, first_line.size()));
  EXPECT_EQ(8, std::count(report.begin(), report.end(), from_1252("\xFC")[0]))
      << "gew\xFCrfelt seven times, erw\xFCrfelt once";
  click(GetDlgItem(box, IDOK));
  EXPECT_EQ(0, a.wait_exit(10000));
  CoUninitialize();
}
