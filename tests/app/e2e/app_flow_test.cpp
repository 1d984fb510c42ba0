// The finished program under Wine, a virtual display and a window manager, driven from
// outside with real input: window and layout, a throw with its sounds and animation,
// the statistics requester, "ENDE" and the home-page button.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  wait_until([&] { return GetForegroundWindow() == a.window; }, 2000);
  a.idle();
}

// Waits until the program shows its start picture and waits for input.
bool ready(app& a) {
  return wait_until([&] { return shown_picture(grab(a.image_gadget())) == 0; }, 5000) && a.idle();
}

// Waits for the requester, with its text, in front for the user's input; the requester,
// or null.
HWND wait_requester(app& a) {
  HWND box = nullptr;
  bool up = wait_until(
      [&] {
        return (box = a.requester()) != nullptr && GetWindowTextLengthA(GetDlgItem(box, 0xFFFF)) > 0 &&
               GetForegroundWindow() == box;
      },
      5000);
  return up ? box : nullptr;
}

// Waits (bounded) for the program to end and notes whether a requester showed meanwhile;
// the exit code, or -1 when it did not end.
long wait_exit_watching_requester(app& a, bool& requester_seen) {
  long code = -1;
  wait_until(
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

// Checks a report against itself: the faces' counts add up to the throws, their pips to
// the total (the texts themselves are the tally's test's). Returns the number of throws
// it states, -1 if unreadable.
int check_report(const std::vector<std::string>& lines, std::array<int, 7>* counts = nullptr) {
  EXPECT_EQ(10u, lines.size()) << "two paragraphs with empty lines, then six face lines";
  if (lines.size() != 10) return -1;
  int throws = -1, total = -1;
  EXPECT_EQ(1, std::sscanf(lines[0].c_str(), "Es wurde %dmal gew\xFCrfelt", &throws)) << lines[0];
  EXPECT_EQ(1, std::sscanf(lines[2].c_str(), "Insgesamt wurden %d Augen", &total)) << lines[2];
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
    if (counts) (*counts)[k] = count;
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
  EXPECT_TRUE(wait_until([&] { return shown_picture(grab(a.image_gadget())) == 0; }, 5000))
      << "the image gadget's screen pixels are the start picture; shows " << shown_picture(grab(a.image_gadget()));

  // "ENDE" before any throw: one click, exit code 0, no requester.
  ASSERT_TRUE(a.idle());
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
  ASSERT_TRUE(ready(a));
  die_watch watch(a);
  click(a.button("START"));
  // The animation shows faces 1 to 6 in this order, then the thrown face stays.
  const int face = watch.wait_throws(1);
  ASSERT_GE(face, 1) << "a face after the throw";
  ASSERT_LE(face, 6);
  std::vector<int> frames;
  for (int shown : watch.shown)
    if (shown >= 1) frames.push_back(shown);  // the start picture before, -1 while a frame is drawn
  std::vector<int> expected = {1, 2, 3, 4, 5, 6};
  if (face != 6) expected.push_back(face);
  EXPECT_EQ(expected, frames) << "the pictures the screen showed, in order";

  // The click, then after its pause the rolling die, played once to its end. The mixer's
  // start-up latency and its missed periods under load move the sink's times, so the roll
  // is judged against its own length: it spans most of it, and what sounded (the span
  // without the mixer's gaps) is not longer than one play.
  ASSERT_TRUE(sink_caught_up());
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
  EXPECT_EQ(face, shown_picture(grab(a.image_gadget()))) << "the thrown face stays";

  ASSERT_TRUE(save_screenshot(window_rect(a.window), shot_path("window-after-throw.bmp")));

  // Two quick presses make two complete throws, one after the other.
  click(a.button("START"));
  click(a.button("START"));
  EXPECT_GE(watch.wait_throws(3), 1) << "three throws announced: " << watch.names().size();
  ASSERT_TRUE(a.idle());
  ASSERT_TRUE(sink_caught_up());
  const size_t sounds_of_throws = sound_runs(20).size();

  // The close box ends the loop without a click; the statistics of the three throws
  // follow, and after them one click.
  activate(a);
  press_keys({VK_MENU, VK_F4});
  HWND box = wait_requester(a);
  ASSERT_NE(nullptr, box) << "statistics requester";
  char title[128] = {};
  GetWindowTextA(box, title, sizeof title);
  EXPECT_STREQ(STATISTICS_TITLE, title);
  EXPECT_EQ(3, check_report(requester_lines(box)));
  ASSERT_TRUE(save_screenshot(window_rect(box), shot_path("statistics.bmp")));
  ASSERT_TRUE(sink_caught_up());
  runs = sound_runs(20);
  EXPECT_EQ(sounds_of_throws, runs.size()) << "no click before the requester: " << describe(runs);
  press_keys({VK_RETURN});  // the requester's default button
  EXPECT_EQ(0, a.wait_exit(10000)) << "exit code after the requester";
  runs = sound_runs(20);
  ASSERT_EQ(sounds_of_throws + 1, runs.size()) << "one sound after the requester: " << describe(runs);
  EXPECT_LT(runs.back().length_ms, 60) << "a click: " << describe(runs);
}

TEST(app_home_page, each_press_hands_the_address_to_the_browser_once) {
  DeleteFileA(windows_path(setting("TESSARIX_WORK") + "/opened.txt").c_str());
  app a;
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(ready(a));
  for (size_t presses = 1; presses <= 2; ++presses) {
    click(a.button("Brisgauer-Homepage"));
    EXPECT_TRUE(wait_until([&] { return opened_addresses().size() >= presses; }, 15000)) << "press " << presses;
  }
  EXPECT_EQ(0, shown_picture(grab(a.image_gadget()))) << "no throw was made";

  // Closed without a throw: no requester, exit code 0.
  activate(a);
  press_keys({VK_MENU, VK_F4});
  bool requester_seen = false;
  long code = wait_exit_watching_requester(a, requester_seen);
  EXPECT_EQ(0, code);
  EXPECT_FALSE(requester_seen);
  std::vector<std::string> opened = opened_addresses();
  ASSERT_EQ(2u, opened.size()) << "once per press";
  for (const std::string& address : opened) EXPECT_EQ(TESSARIX_HOME_PAGE, address);
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
  // Windows 7, 8, 8.1, and 10 and 11: the platforms the program sees as they are.
  for (const char* id : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_NE(std::string::npos, text.find(std::string("<supportedOS Id=\"{") + id + "}\"/>")) << id << " in " << text;
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

// A DLL's load order for Tessarix.exe alone, as Wine's per-program DLL settings give it,
// for as long as the object lives: "" disables it, "native,builtin" prefers a DLL of that
// name found on the search path to Wine's own, as Windows does for a DLL that is not one
// of its known ones. NOTE: Wine takes WINEDLLOVERRIDES from the Unix environment it
// started with, not from the environment a parent passes to CreateProcess, so the
// per-program registry setting is the seam here.
class dll_override {
 public:
  explicit dll_override(const char* dll, const char* order = "") : dll_(dll) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) return;
    ok_ = !RegSetValueExA(key, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                          static_cast<DWORD>(strlen(order) + 1));
    RegCloseKey(key);
  }
  ~dll_override() {
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

// Presses "START" and waits for the nth throw's end; the face the screen then shows.
int throw_once(app& a, die_watch& watch, size_t n) {
  click(a.button("START"));
  return watch.wait_throws(n);
}

// Closes the window with its close box, reads the statistics and closes the requester;
// no lines when none came.
std::vector<std::string> close_and_read_report(app& a) {
  activate(a);
  press_keys({VK_MENU, VK_F4});
  HWND box = wait_requester(a);
  if (!box) {
    ADD_FAILURE() << "no requester in front: requester " << a.requester() << ", foreground " << GetForegroundWindow()
                  << ", the window " << a.window;
    return {};
  }
  std::vector<std::string> lines = requester_lines(box);
  press_keys({VK_RETURN});  // the requester's default button
  return lines;
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
    std::unique_ptr<dll_override> missing;
    if (c.disabled) {
      missing = std::make_unique<dll_override>(c.disabled);
      ASSERT_TRUE(missing->ok());
    }
    DeleteFileA(draws_file.c_str());
    scoped_environment environment("TESSARIX_FAILED_DRAWS", draws_file);
    app a;
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(ready(a));
    die_watch watch(a);
    std::array<int, 7> seen{};
    for (int n = 0; n < kFallbackThrows; ++n) {
      int face = throw_once(a, watch, static_cast<size_t>(n) + 1);
      ASSERT_GE(face, 1) << "throw " << n << ": a face on screen";
      ASSERT_LE(face, 6) << "throw " << n;
      ++seen[face];
    }
    std::vector<std::string> lines = close_and_read_report(a);
    std::array<int, 7> counted{};
    EXPECT_EQ(kFallbackThrows, check_report(lines, &counted)) << "every throw counted";
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(seen[k], counted[k]) << "face " << k << ": on screen, in the statistics";
    EXPECT_LT(seen[1], kFallbackThrows) << "the throws are drawn, not face 1 each time";
    EXPECT_EQ(0, a.wait_exit(10000));
    EXPECT_EQ(c.failing_source ? kFallbackThrows : 0, file_length(draws_file))
        << "draws the source was asked for and failed";
  }
}

TEST(app_fallback, runs_silently_without_a_sound_device) {
  // No sound driver at all: the platform's sound system finds no device.
  dll_override no_sound_driver("winealsa.drv");
  ASSERT_TRUE(no_sound_driver.ok());
  app a;
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(ready(a));
  die_watch watch(a);

  // The cues keep their pauses without a device: SoundWithoutDevice.CuesKeepTheirPauses
  // measures them in-process, where no other work lies between the ends.
  click(a.button("START"));
  int face = watch.wait_throws(1);
  EXPECT_GE(face, 1);
  EXPECT_LE(face, 6);
  click(a.button("ENDE"));
  HWND box = wait_requester(a);
  ASSERT_NE(nullptr, box) << "statistics requester";
  EXPECT_EQ(1, check_report(requester_lines(box)));
  press_keys({VK_RETURN});  // the requester's default button
  EXPECT_EQ(0, a.wait_exit(30000)) << "exit code";
  std::vector<sound_run> runs = sound_runs(20);
  EXPECT_TRUE(runs.empty()) << "nothing reached the sound sink: " << describe(runs);
}

TEST(app_fallback, ends_with_exit_code_0_when_its_window_cannot_be_opened) {
  // No display driver: the platform refuses every top-level window of the program.
  dll_override no_display_driver("winex11.drv");
  ASSERT_TRUE(no_display_driver.ok());
  app a;
  EXPECT_FALSE(a.start(5000)) << "a window appeared";
  EXPECT_EQ(0, a.wait_exit(60000)) << "the program ends by itself, with exit code 0";
}

// DLLs named as the platform's beside a copy of the program, as a download folder may hold
// them, and Wine preferring them to its own: none is loaded, not at start-up, at the first
// throw or at the first page opened.
TEST(app_libraries, none_is_loaded_from_the_programs_folder) {
  // NOTE: kernel32.dll is left out: Windows takes it from its known DLLs whatever the
  // folder holds, while Wine told to prefer a folder's copy loads it before the program's
  // first instruction, which then never runs.
  const char* const names[] = {"dsound", "msimg32", "winmm", "shell32"};
  const std::string stand_ins = windows_path(TESSARIX_STAND_INS);
  const std::string folder = windows_path(setting("TESSARIX_WORK") + "/planted");
  CreateDirectoryA(folder.c_str(), nullptr);
  auto mark_of = [](const std::string& dll) {
    return GetFileAttributesA((dll + ".loaded").c_str()) != INVALID_FILE_ATTRIBUTES;
  };
  // The marks work: a stand-in loaded under a name of its own leaves one.
  const std::string probe = folder + "\\mark-probe.dll";
  DeleteFileA((probe + ".loaded").c_str());
  ASSERT_TRUE(CopyFileA((stand_ins + "\\winmm.dll").c_str(), probe.c_str(), FALSE)) << GetLastError();
  HMODULE loaded = LoadLibraryA(probe.c_str());
  ASSERT_NE(nullptr, loaded) << GetLastError();
  FreeLibrary(loaded);
  EXPECT_TRUE(mark_of(probe));

  std::vector<std::unique_ptr<dll_override>> preferred;
  for (const char* name : names) {
    const std::string dll = folder + "\\" + name + ".dll";
    ASSERT_TRUE(CopyFileA((stand_ins + "\\" + name + ".dll").c_str(), dll.c_str(), FALSE)) << name;
    DeleteFileA((dll + ".loaded").c_str());
    preferred.push_back(std::make_unique<dll_override>(name, "native,builtin"));
    ASSERT_TRUE(preferred.back()->ok()) << name;
  }
  app a;
  a.program = folder + "\\Tessarix.exe";
  ASSERT_TRUE(CopyFileA(windows_path(setting("TESSARIX_EXE")).c_str(), a.program.c_str(), FALSE));
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(wait_for([&] { return shown_picture(grab(a.image_gadget())) == 0; }, 5000));
  // The throw pauses between its frames, the page goes to the shell.
  click(a.button("START"));
  EXPECT_TRUE(wait_for([&] { return shown_picture(grab(a.image_gadget())) >= 1; }, 5000)) << "the throw's frames";
  const size_t opened = opened_addresses().size();
  click(a.button("Brisgauer-Homepage"));
  EXPECT_TRUE(wait_for([&] { return opened_addresses().size() > opened; }, 15000)) << "the page was opened";
  PostMessageA(a.window, WM_CLOSE, 0, 0);
  HWND box = nullptr;
  ASSERT_TRUE(wait_for([&] { return (box = a.requester()) != nullptr; }, 10000)) << "statistics requester";
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(0, a.wait_exit(10000));
  for (const char* name : names)
    EXPECT_FALSE(mark_of(folder + "\\" + name + ".dll")) << name << ".dll from the program's folder ran";
}

TEST(app_accessibility, the_die_is_named_by_the_face_the_screen_shows) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  app a;
  ASSERT_TRUE(a.start());
  HWND die = a.image_gadget();
  ASSERT_TRUE(wait_until([&] { return shown_picture(grab(die)) == 0; }, 5000));
  EXPECT_EQ(
      "W\xFC"
      "rfel",
      accessible_name(die))
      << "the start picture";

  // An assistive tool listens, outside the program, for name changes of the die.
  ASSERT_TRUE(a.idle());
  die_watch watch(a);
  for (size_t n = 1; n <= 3; ++n) {
    click(a.button("START"));
    const int face = watch.wait_throws(n);
    EXPECT_GE(face, 1) << "throw " << n << ": the screen shows the face named last";
    ASSERT_EQ(n, watch.names().size()) << "one announcement per throw, none during the animation";
    EXPECT_EQ("W\xFCrfel: " + std::to_string(face), watch.names().back()) << "throw " << n;
    EXPECT_EQ(watch.names().back(), accessible_name(die)) << "throw " << n;
  }
  CoUninitialize();

  click(a.button("ENDE"));
  HWND box = wait_requester(a);
  ASSERT_NE(nullptr, box);
  press_keys({VK_RETURN});  // the requester's default button
  EXPECT_EQ(0, a.wait_exit(10000));
}

namespace {

// Asks the window manager to do to the window what its own buttons would, through xdotool
// on the same display. NOTE: Wine runs a Unix program as a process without a handle to wait
// on; callers wait for its effect instead.
bool window_manager(const char* action, HWND window) {
  auto x_window = reinterpret_cast<uintptr_t>(GetPropA(window, "__wine_x11_whole_window"));
  if (!x_window) return false;
  std::string command = std::string("Z:\\usr\\bin\\xdotool ") + action + " " + std::to_string(x_window);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    return false;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

// Returns once the program's loop has been round at least once: a message posted to a
// button is taken by one wait, and its answer seen here; the next one is taken only after
// the loop has done what follows that wait.
bool loop_went_round(HWND button) {
  for (WPARAM pushed : {TRUE, FALSE}) {
    PostMessageA(button, BM_SETSTATE, pushed, 0);
    if (!test_time::wait_until(
            [&] {
              DWORD_PTR state = 0;
              SendMessageTimeoutA(button, BM_GETSTATE, 0, 0, SMTO_NORMAL, 1000, &state);
              return ((state & BST_PUSHED) != 0) == (pushed != 0);
            },
            3000))
      return false;
  }
  return true;
}

}  // namespace

TEST(app_window, minimise_and_restore_leave_the_window_in_place_with_the_last_face) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  app a;
  ASSERT_TRUE(a.start());
  HWND die = a.image_gadget();
  ASSERT_TRUE(test_time::wait_until([&] { return shown_picture(grab(die)) == 0; }, 5000));
  click(a.button("START"));
  // The die is named by its face once the throw has ended, and the screen follows.
  const std::string named = "W\xFCrfel: ";
  std::string name;
  ASSERT_TRUE(test_time::wait_until([&] { return (name = accessible_name(die)).rfind(named, 0) == 0; }, 5000))
      << "the thrown face named; the name is " << name;
  int face = std::atoi(name.c_str() + named.size());
  ASSERT_TRUE(test_time::wait_until([&] { return shown_picture(grab(die)) == face; }, 3000)) << "face " << face;
  CoUninitialize();
  RECT before = window_rect(a.window);

  ASSERT_TRUE(window_manager("windowminimize", a.window)) << "xdotool on the window of the program";
  ASSERT_TRUE(test_time::wait_until([&] { return IsIconic(a.window) != 0; }, 5000)) << "minimised";
  ASSERT_TRUE(loop_went_round(a.button("ENDE"))) << "the loop re-applied its geometry while minimised";
  ASSERT_TRUE(window_manager("windowactivate", a.window));
  ASSERT_TRUE(test_time::wait_until([&] { return !IsIconic(a.window); }, 5000)) << "restored";

  RECT after{};
  test_time::wait_until(
      [&] {
        after = window_rect(a.window);
        return EqualRect(&before, &after) != 0;
      },
      3000);
  EXPECT_EQ(before.left, after.left) << "where it was";
  EXPECT_EQ(before.top, after.top) << "where it was";
  EXPECT_EQ(before.right, after.right) << "its size";
  EXPECT_EQ(before.bottom, after.bottom) << "its size";
  int shown = -1;
  EXPECT_TRUE(test_time::wait_until([&] { return (shown = shown_picture(grab(die))) == face; }, 3000))
      << "the last face, " << face << ", painted again; shows " << shown;
  // The gadgets repaint one after the other: wait for the button's too.
  EXPECT_TRUE(test_time::wait_until(
      [&] {
        std::vector<uint32_t> start = grab(a.button("START"));
        return std::count(start.begin(), start.end(), start.front()) != static_cast<std::ptrdiff_t>(start.size());
      },
      3000))
      << "the button is painted";

  click(a.button("ENDE"));
  HWND box = nullptr;
  ASSERT_TRUE(test_time::wait_until(
      [&] { return (box = a.requester()) != nullptr && IsWindowVisible(GetDlgItem(box, IDOK)); }, 5000));
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
  ASSERT_TRUE(ready(a));
  HWND die = a.image_gadget();
  EXPECT_EQ(from_1252("W\xFCrfel"), accessible_name_w(die)) << "the start picture";
  die_watch watch(a);
  const int face = throw_once(a, watch, 1);
  ASSERT_GE(face, 1) << "a face on screen";
  EXPECT_EQ(from_1252("W\xFCrfel: " + std::to_string(face)), accessible_name_w(die));

  click(a.button("ENDE"));
  HWND box = wait_requester(a);
  ASSERT_NE(nullptr, box) << "statistics requester";
  EXPECT_EQ(from_1252(STATISTICS_TITLE), held_text(box));
  const std::wstring report = held_text(GetDlgItem(box, 0xFFFF));
  const std::wstring first_line = from_1252("Es wurde 1mal gew\xFCrfelt\r");
  EXPECT_EQ(first_line, report.substr(0, first_line.size()));
  EXPECT_EQ(8, std::count(report.begin(), report.end(), from_1252("\xFC")[0]))
      << "gew\xFCrfelt seven times, erw\xFCrfelt once";
  press_keys({VK_RETURN});  // the requester's default button
  EXPECT_EQ(0, a.wait_exit(10000));
  CoUninitialize();
}
