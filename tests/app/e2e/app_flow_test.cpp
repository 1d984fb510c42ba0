// The finished program under Wine, a virtual display and a window manager, driven from
// outside with real input: window and layout, a throw with its sounds and animation,
// the statistics requester, "ENDE" and the home-page button.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/accessible_name.h"
#include "tests/app/e2e/e2e_driver.h"
#include "tests/rectangles.h"
#include "tests/screen_scale.h"

#include <wincrypt.h>

using namespace e2e;
using audio_sink::sound_run;
using test_access::accessible_name_w;

namespace {

const char* const STATISTICS_TITLE = "Tessarix: W\xFCrfelstatistik";
const std::string kSink = work_file("audio.raw");

// Starts the program and waits until it shows its start picture and waits for input.
testing::AssertionResult started(app& a) {
  if (!a.start()) return testing::AssertionFailure() << "no window \"Tessarix V1.1\"";
  int shown = -1;
  if (!wait_until([&] { return (shown = shown_picture(grab(a.image_gadget()))) == 0; }, 5000))
    return testing::AssertionFailure() << "the die shows picture " << shown << ", not the start picture 0";
  if (!a.idle()) return testing::AssertionFailure() << "no answer after start-up";
  return testing::AssertionSuccess();
}

// Presses "START" and waits for the nth throw's end; the face the screen then shows.
int throw_once(app& a, die_watch& watch, size_t n) {
  click(a.button("START"));
  return watch.wait_throws(n);
}

// Presses "ENDE" and waits for the statistics requester in front; it, or null.
HWND press_ende(app& a) {
  click(a.button("ENDE"));
  return a.wait_requester();
}

// Closes the requester with its default button; the program's exit code, or -1.
long confirm(app& a) {
  press_keys({VK_RETURN});
  return a.wait_exit(30000);
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

// The window as the user sees it: the client area and the frame around it.
RECT window_rect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}

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

}  // namespace

TEST(app_window, opens_centred_and_each_press_but_start_is_one_click_and_no_throw) {
  DeleteFileA(work_file("opened.txt").c_str());
  app a;
  ASSERT_TRUE(started(a));
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
    RECT r = window_rect(control);
    MapWindowPoints(nullptr, a.window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(p.expected, r) << (p.text ? p.text : "image");
  }

  // Each press of the home-page button hands the address to the browser once.
  for (size_t presses = 1; presses <= 2; ++presses) {
    click(a.button("Brisgauer-Homepage"));
    EXPECT_TRUE(wait_until([&] { return opened_addresses().size() >= presses; }, 15000)) << "press " << presses;
  }
  EXPECT_EQ(0, shown_picture(grab(a.image_gadget()))) << "no throw was made";

  // "ENDE" before any throw: exit code 0, no requester (one would hold the program).
  click(a.button("ENDE"));
  EXPECT_EQ(0, a.wait_exit(10000)) << "exit code after ENDE; requester " << a.requester();
  const std::vector<std::string> opened = opened_addresses();
  ASSERT_EQ(2u, opened.size()) << "once per press";
  for (const std::string& address : opened) EXPECT_EQ(TESSARIX_HOME_PAGE, address);
  std::vector<sound_run> runs = audio_sink::runs(kSink, 20);
  ASSERT_EQ(3u, runs.size()) << "a click for each press, nothing else: " << describe(runs);
  for (const sound_run& run : runs) EXPECT_LT(run.length_ms, 60) << "a short click: " << describe(runs);
}

TEST(app_throw, start_plays_click_then_roll_and_ends_on_one_face) {
  app a;
  ASSERT_TRUE(started(a));
  die_watch watch(a);
  // The animation shows faces 1 to 6 in this order, then the thrown face stays.
  const int face = throw_once(a, watch, 1);
  ASSERT_TRUE(face >= 1 && face <= 6) << "the face after the throw: " << face;
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
  ASSERT_TRUE(audio_sink::caught_up(kSink));
  std::vector<sound_run> runs = audio_sink::runs(kSink, 20);
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

  ASSERT_TRUE(save_screenshot(window_rect(a.window), work_file("window-after-throw.bmp")));

  // Two quick presses make two complete throws, one after the other.
  click(a.button("START"));
  click(a.button("START"));
  EXPECT_GE(watch.wait_throws(3), 1) << "three throws announced: " << watch.names().size();
  ASSERT_TRUE(a.idle());
  ASSERT_TRUE(audio_sink::caught_up(kSink));
  const size_t sounds_of_throws = audio_sink::runs(kSink, 20).size();

  // The close box ends the loop without a click; the statistics of the three throws
  // follow, and after them one click.
  a.activate();
  press_keys({VK_MENU, VK_F4});
  HWND box = a.wait_requester();
  ASSERT_NE(nullptr, box) << "statistics requester";
  char title[128] = {};
  GetWindowTextA(box, title, sizeof title);
  EXPECT_STREQ(STATISTICS_TITLE, title);
  EXPECT_EQ(3, check_report(requester_lines(box)));
  ASSERT_TRUE(save_screenshot(window_rect(box), work_file("statistics.bmp")));
  ASSERT_TRUE(audio_sink::caught_up(kSink));
  runs = audio_sink::runs(kSink, 20);
  EXPECT_EQ(sounds_of_throws, runs.size()) << "no click before the requester: " << describe(runs);
  EXPECT_EQ(0, confirm(a)) << "exit code after the requester";
  runs = audio_sink::runs(kSink, 20);
  ASSERT_EQ(sounds_of_throws + 1, runs.size()) << "one sound after the requester: " << describe(runs);
  EXPECT_LT(runs.back().length_ms, 60) << "a click: " << describe(runs);
}

// The program file's own resources: icon 1, the German version record and the manifest. Their
// presence, the version numbers, the record's language and the manifest's processor are
// executable_form's (scripts/check-pe.sh).
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
  // Windows 7, 8, 8.1, and 10 and 11: the platforms the program sees as they are.
  for (const char* id : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_NE(std::string::npos, text.find(std::string("<supportedOS Id=\"{") + id + "}\"/>")) << id << " in " << text;
  FreeLibrary(module);

  DWORD ignored = 0, size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  std::vector<char> version(size);
  ASSERT_TRUE(size && GetFileVersionInfoA(exe.c_str(), 0, size, version.data())) << "size " << size;
  char* description = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(version.data(), "\\StringFileInfo\\040704E4\\FileDescription",
                             reinterpret_cast<void**>(&description), &length));
  EXPECT_STREQ("Computerw\xFCrfel mit Zufallszahlenfunktion", description);
}

TEST(app_fallback, throws_come_from_the_generator_when_the_source_is_missing_or_fails) {
  const std::string draws_file = work_file("failed-draws");
  SetEnvironmentVariableA("TESSARIX_FAILED_DRAWS", draws_file.c_str());  // where the failing source counts
  const struct {
    const char* what;
    const char* disabled;  // a DLL disabled for the program, or null
    bool failing_source;   // the source opens, and each draw fails
  } cases[] = {{"no cryptographic source: its provider's module is disabled", "rsaenh", false},
               {"a source whose every draw fails", nullptr, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<failing_default_provider> provider;
    std::optional<dll_override> missing;
    if (c.failing_source) provider.emplace();
    if (c.disabled) missing.emplace(c.disabled);
    ASSERT_TRUE(!provider || provider->ready()) << "the failing provider could not be made the user's default";
    ASSERT_TRUE(!missing || missing->ok()) << c.disabled;
    DeleteFileA(draws_file.c_str());
    app a;
    ASSERT_TRUE(started(a));
    die_watch watch(a);
    const long windows = a.window_count();
    std::array<int, 7> seen{};
    for (int n = 0; n < kFallbackThrows; ++n) {
      int face = throw_once(a, watch, static_cast<size_t>(n) + 1);
      ASSERT_GE(face, 1) << "throw " << n << ": a face on screen";
      ASSERT_LE(face, 6) << "throw " << n;
      ++seen[face];
    }
    EXPECT_EQ(windows, a.window_count()) << "windows of the program after the throws";
    std::array<int, 7> counted{};
    EXPECT_EQ(kFallbackThrows, check_report(a.close_and_read_report(), &counted)) << "every throw counted";
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(seen[k], counted[k]) << "face " << k << ": on screen, in the statistics";
    EXPECT_LT(seen[1], kFallbackThrows) << "the throws are drawn, not face 1 each time";
    EXPECT_EQ(0, a.wait_exit(10000));
    EXPECT_EQ(static_cast<size_t>(c.failing_source ? kFallbackThrows : 0), wine_paths::file_size(draws_file))
        << "draws the source was asked for and failed";
  }
}

TEST(app_fallback, runs_silently_without_a_sound_device) {
  // No sound driver at all: the platform's sound system finds no device.
  dll_override no_sound_driver("winealsa.drv");
  ASSERT_TRUE(no_sound_driver.ok());
  app a;
  ASSERT_TRUE(started(a));
  die_watch watch(a);

  // The cues keep their pauses without a device: SoundWithoutDevice.CuesKeepTheirPauses
  // measures them in-process, where no other work lies between the ends.
  int face = throw_once(a, watch, 1);
  EXPECT_GE(face, 1);
  EXPECT_LE(face, 6);
  HWND box = press_ende(a);
  ASSERT_NE(nullptr, box) << "statistics requester";
  EXPECT_EQ(1, check_report(requester_lines(box)));
  EXPECT_EQ(0, confirm(a)) << "exit code";
  std::vector<sound_run> runs = audio_sink::runs(kSink, 20);
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
  const std::string stand_ins = windows_path(TESSARIX_STAND_INS), folder = work_file("planted");
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
  ASSERT_TRUE(started(a));
  // The throw pauses between its frames, the page goes to the shell.
  die_watch watch(a);
  EXPECT_GE(throw_once(a, watch, 1), 1) << "a face after the throw";
  const size_t opened = opened_addresses().size();
  click(a.button("Brisgauer-Homepage"));
  EXPECT_TRUE(wait_until([&] { return opened_addresses().size() > opened; }, 15000)) << "the page was opened";
  EXPECT_EQ(1, check_report(a.close_and_read_report()));
  EXPECT_EQ(0, a.wait_exit(10000));
  for (const char* name : names)
    EXPECT_FALSE(mark_of(folder + "\\" + name + ".dll")) << name << ".dll from the program's folder ran";
}

TEST(app_window, minimise_and_restore_leave_the_window_in_place_with_the_last_face) {
  app a;
  ASSERT_TRUE(started(a));
  die_watch watch(a);
  const int face = throw_once(a, watch, 1);
  ASSERT_GE(face, 1) << "a face after the throw";
  const RECT before = window_rect(a.window);

  ASSERT_TRUE(window_manager("windowminimize", a.window)) << "xdotool on the window of the program";
  ASSERT_TRUE(wait_until([&] { return IsIconic(a.window) != 0; }, 5000)) << "minimised";
  ASSERT_TRUE(loop_went_round(a.button("ENDE"))) << "the loop re-applied its geometry while minimised";
  ASSERT_TRUE(window_manager("windowactivate", a.window));
  ASSERT_TRUE(wait_until([&] { return !IsIconic(a.window); }, 5000)) << "restored";

  RECT after{};
  wait_until([&] { return EqualRect(&before, &(after = window_rect(a.window))) != 0; }, 3000);
  EXPECT_EQ(before, after) << "where it was, its size";
  int shown = -1;
  EXPECT_TRUE(wait_until([&] { return (shown = shown_picture(grab(a.image_gadget()))) == face; }, 3000))
      << "the last face, " << face << ", painted again; shows " << shown;
  // The gadgets repaint one after the other: wait for the button's too.
  EXPECT_TRUE(wait_until(
      [&] {
        std::vector<uint32_t> start = grab(a.button("START"));
        return std::count(start.begin(), start.end(), start.front()) != static_cast<std::ptrdiff_t>(start.size());
      },
      3000))
      << "the button is painted";
  ASSERT_NE(nullptr, press_ende(a)) << "statistics requester";
  EXPECT_EQ(0, confirm(a));
}

// The German texts reach the user as themselves whatever the system's ANSI code page, and
// an assistive tool outside the program hears the die named by the face the screen shows.
// The build runs this under each code page of its table (tests/app/e2e/CMakeLists.txt),
// which names the one expected in TESSARIX_CODE_PAGE; the plain run is the 1252 one.
TEST(app_texts, read_as_themselves_under_every_ansi_code_page) {
  const std::string asked = setting("TESSARIX_CODE_PAGE");
  const UINT code_page = asked.empty() ? 1252 : static_cast<UINT>(std::stoul(asked));
  // The program gets the driver's code page (tests/app/e2e/CMakeLists.txt says why).
  ASSERT_EQ(code_page, GetACP()) << "is the locale made? (scripts/install-deps.sh)";
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  app a;
  ASSERT_TRUE(started(a));
  EXPECT_EQ(L"Tessarix V1.1", held_text(a.window));
  EXPECT_EQ(L"Tessarix V1.1", answered_text(a.window));
  HWND die = a.image_gadget();
  EXPECT_EQ(from_1252("W\xFCrfel"), accessible_name_w(die)) << "the start picture";
  die_watch watch(a);
  for (size_t n = 1; n <= 3; ++n) {
    const int face = throw_once(a, watch, n);
    EXPECT_GE(face, 1) << "throw " << n << ": the screen shows the face named last";
    ASSERT_EQ(n, watch.names().size()) << "one announcement per throw, none during the animation";
    EXPECT_EQ("W\xFCrfel: " + std::to_string(face), watch.names().back()) << "throw " << n;
    EXPECT_EQ(from_1252(watch.names().back()), accessible_name_w(die)) << "throw " << n;
  }
  CoUninitialize();

  HWND box = press_ende(a);
  ASSERT_NE(nullptr, box) << "statistics requester";
  EXPECT_EQ(from_1252(STATISTICS_TITLE), held_text(box));
  const std::wstring report = held_text(GetDlgItem(box, 0xFFFF));
  const std::wstring first_line = from_1252("Es wurde 3mal gew\xFCrfelt\r");
  EXPECT_EQ(first_line, report.substr(0, first_line.size()));
  EXPECT_EQ(8, std::count(report.begin(), report.end(), from_1252("\xFC")[0]))
      << "gew\xFCrfelt seven times, erw\xFCrfelt once";
  EXPECT_EQ(0, confirm(a));
}

// The window in the screen's pixels, as the user sees it at the run's scale: its rectangle
// and its client area's.
struct seen_window {
  RECT outer;
  RECT client;
};
seen_window on_screen(HWND window) {
  screen_scale::screen_pixels pixels;
  seen_window seen{window_rect(window), {}};
  GetClientRect(window, &seen.client);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&seen.client), 2);
  return seen;
}

// The part of a screen rectangle that something is drawn on. The virtual screen is black
// where nothing is; at a scale the window manager's frame, drawn unscaled, leaves a margin
// of the window's scaled rectangle bare.
RECT drawn_part(const RECT& r) {
  const std::vector<uint32_t> pixels = grab(r);
  const LONG width = r.right - r.left;
  auto bare = [&](LONG x0, LONG y0, LONG x1, LONG y1) {
    for (LONG y = y0; y < y1; ++y)
      for (LONG x = x0; x < x1; ++x)
        if (pixels[y * width + x]) return false;
    return true;
  };
  RECT d{0, 0, width, r.bottom - r.top};
  while (d.top < d.bottom && bare(d.left, d.top, d.right, d.top + 1)) ++d.top;
  while (d.bottom > d.top && bare(d.left, d.bottom - 1, d.right, d.bottom)) --d.bottom;
  while (d.left < d.right && bare(d.left, d.top, d.left + 1, d.bottom)) ++d.left;
  while (d.right > d.left && bare(d.right - 1, d.top, d.right, d.bottom)) --d.right;
  OffsetRect(&d, r.left, r.top);
  return d;
}

std::ostream& operator<<(std::ostream& out, const seen_window& w) {
  return out << "window " << w.outer << ", client " << w.client;
}

// The program with the system scaled as a user's may be: 125, 150 or 200 % (the runner's
// TESSARIX_WINE_DPI; tests/app/e2e/CMakeLists.txt runs this once at each). The program sees
// its 320 x 360 pixels; the screen shows them scaled, centred, in a window that keeps its
// place and size while the loop re-applies its geometry after every wait.
TEST(app_scaled, keeps_its_client_area_place_and_size_on_a_scaled_screen) {
  const int dpi = screen_scale::asked_dpi();
  ASSERT_NE(0, dpi) << "a scaled run's test: TESSARIX_WINE_DPI names the scale";
  ASSERT_EQ(dpi, screen_scale::system_dpi()) << "the scale took";
  int screen_width = 0, screen_height = 0;
  {
    screen_scale::screen_pixels pixels;
    screen_width = GetSystemMetrics(SM_CXSCREEN);
    screen_height = GetSystemMetrics(SM_CYSCREEN);
  }
  app a;
  ASSERT_TRUE(started(a));
  RECT client, outer = window_rect(a.window);
  GetClientRect(a.window, &client);
  EXPECT_EQ((RECT{0, 0, 320, 360}), client) << "the client area as the program sees it";

  const seen_window first = on_screen(a.window);
  std::printf("%d dpi on %d x %d: the program's client area %ld x %ld; on screen %ld x %ld at %ld, %ld\n", dpi,
              screen_width, screen_height, client.right, client.bottom, first.outer.right - first.outer.left,
              first.outer.bottom - first.outer.top, first.outer.left, first.outer.top);
  using screen_scale::scaled;
  EXPECT_EQ(scaled(320, dpi), first.client.right - first.client.left) << first;
  EXPECT_EQ(scaled(360, dpi), first.client.bottom - first.client.top) << first;
  // The frame too is the program's, scaled: no larger.
  EXPECT_LE(first.outer.right - first.outer.left, scaled(outer.right - outer.left, dpi)) << first;
  EXPECT_LE(first.outer.bottom - first.outer.top, scaled(outer.bottom - outer.top, dpi)) << first;
  // Centred by the program's pixels: within one of them, two of the screen's.
  EXPECT_NEAR(screen_width / 2, (first.outer.left + first.outer.right) / 2, 2) << "centred: " << first;
  EXPECT_NEAR(screen_height / 2, (first.outer.top + first.outer.bottom) / 2, 2) << "centred: " << first;

  // The loop re-applies the geometry after every wait: a second of waits, then a throw.
  RECT now = first.outer;
  EXPECT_FALSE(wait_until([&] { return !EqualRect(&(now = on_screen(a.window).outer), &first.outer); }, 1000))
      << "within a second: " << now << ", was " << first;
  ASSERT_TRUE(loop_went_round(a.button("ENDE")));
  EXPECT_EQ(first.outer, on_screen(a.window).outer) << "after the loop went round";
  die_watch watch(a);
  const int face = throw_once(a, watch, 1);
  EXPECT_TRUE(face >= 1 && face <= 6) << "the face after the throw: " << face;
  ASSERT_TRUE(loop_went_round(a.button("ENDE")));
  EXPECT_EQ(first.outer, on_screen(a.window).outer) << "after a throw";
  if (dpi == 144) {
    screen_scale::screen_pixels pixels;
    ASSERT_TRUE(save_screenshot(drawn_part(first.outer), work_file("window-150-percent.bmp")));
  }

  // The close box brings the statistics, on the screen and its text whole in its box.
  a.activate();
  press_keys({VK_MENU, VK_F4});
  HWND box = a.wait_requester();
  ASSERT_NE(nullptr, box) << "statistics requester";
  EXPECT_EQ(1, check_report(requester_lines(box)));
  const seen_window requester = on_screen(box);
  const RECT& r = requester.outer;
  EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= screen_width && r.bottom <= screen_height)
      << "on the screen: " << requester;
  // Laid out in the message font, the report needs no more room than the box gives it.
  HWND text = GetDlgItem(box, 0xFFFF);
  RECT room{};
  GetClientRect(text, &room);
  RECT needed = room;
  wchar_t report[4096] = {};
  GetWindowTextW(text, report, 4096);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  HFONT message_font = CreateFontIndirectW(&metrics.lfMessageFont);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ before = SelectObject(dc, message_font);
  DrawTextW(dc, report, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, before);
  DeleteDC(dc);
  DeleteObject(message_font);
  EXPECT_TRUE(needed.right <= room.right && needed.bottom <= room.bottom)
      << "the report needs " << needed << ", its box has " << room;
  EXPECT_EQ(0, confirm(a)) << "exit code after the requester";
}
