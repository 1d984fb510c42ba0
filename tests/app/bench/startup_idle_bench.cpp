// Tessarix against the bare program of the same window, under Wine, interleaved: start-up
// (process start to the complete visible window), idle CPU over a fixed time with the
// pointer outside the window and resting on "START", and resident memory. Each figure is
// printed with its run-by-run spread and as a ratio to the bare program's in the same run;
// the idle figure also against the bare program that applies its unchanged geometry again
// every second, the work the dice roller's loop is required to do, and against that one
// with the sound device open too: the platform's sound system keeps threads of its own
// awake in the process for as long as a device is open, silent or not.
// A benchmark, not a test: it prints numbers and judges none. scripts/bench.sh runs it.
// Runs under the end-to-end runner (run_e2e.sh), which names Tessarix.exe in TESSARIX_EXE
// and gives it the tests' audio file sink. Further environment: BARE_WINDOW_EXE (a Unix
// path), BENCH_STARTS (7), BENCH_IDLE_ROUNDS (2), BENCH_IDLE_SECONDS (10).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/app/e2e/e2e_driver.h"

namespace {

struct program {
  const char* label;
  std::string exe;         // Unix path
  const char* reapply_ms;  // the bare program's re-apply interval, null for none
  bool sound = false;      // the bare program opens the sound device
};

int setting_or(const char* name, int fallback) {
  std::string value = e2e::setting(name);
  return value.empty() ? fallback : std::atoi(value.c_str());
}

std::string proc_file(long pid, const char* name) {
  std::ifstream in("Z:\\proc\\" + std::to_string(pid) + "\\" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A "Name:   1234 kB" line of /proc/<pid>/status, in KiB; -1 when missing.
long status_kib(long pid, const char* field) {
  std::string status = proc_file(pid, "status");
  size_t at = status.find(std::string("\n") + field + ":");
  if (at == std::string::npos) return -1;
  return std::strtol(status.c_str() + at + std::string(field).size() + 2, nullptr, 10);
}

using e2e::unix_cpu_ms;

struct started {
  e2e::app app;
  bool ok = false;
  double startup_ms = 0;
  long pid = -1;
};

void launch(const program& p, started& s) {
  SetEnvironmentVariableA("TESSARIX_EXE", p.exe.c_str());
  SetEnvironmentVariableA("BARE_WINDOW_REAPPLY_MS", p.reapply_ms);
  SetEnvironmentVariableA("BARE_WINDOW_SOUND", p.sound ? "1" : nullptr);
  s.ok = s.app.start(30000, 1);
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  s.startup_ms = 1000.0 * static_cast<double>(now.QuadPart - s.app.started.QuadPart) / frequency.QuadPart;
  // The process table can miss a process that is just starting; look again for a while.
  for (int tries = 0; tries < 100 && s.ok; ++tries) {
    s.pid = s.app.unix_pid();
    if (s.pid >= 0 && unix_cpu_ms(s.pid, true) >= 0) break;
    Sleep(20);
  }
}

void close(started& s) {
  if (s.app.window) PostMessageA(s.app.window, WM_CLOSE, 0, 0);
  if (s.app.wait_exit(10000) < 0) TerminateProcess(s.app.process.hProcess, 99);
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void print_series(const char* what, const char* label, const std::vector<double>& v, const char* unit) {
  if (v.empty()) return;
  std::printf("%-22s %-20s median %8.1f %s  (min %.1f, max %.1f, n %zu)\n", what, label, median(v), unit,
              *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), v.size());
}

// The ratio of medians, with the spread of the round-by-round ratios.
void print_ratio(const char* what, const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> per_round;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (b[i] > 0) per_round.push_back(a[i] / b[i]);
  double mb = median(b);
  if (mb <= 0) {
    std::printf("ratio %-40s n/a (baseline median 0)\n", what);
    return;
  }
  std::printf("ratio %-40s %.2f", what, median(a) / mb);
  if (!per_round.empty())
    std::printf("  (round by round: min %.2f, max %.2f)", *std::min_element(per_round.begin(), per_round.end()),
                *std::max_element(per_round.begin(), per_round.end()));
  std::printf("\n");
}

}  // namespace

int main() {
  const program tessarix{"Tessarix", e2e::setting("TESSARIX_EXE"), nullptr};
  const program bare{"bare", e2e::setting("BARE_WINDOW_EXE"), nullptr};
  const program bare_reapply{"bare+re-apply 1 s", bare.exe, "1000"};
  const program bare_reapply_sound{"bare+re-apply+sound", bare.exe, "1000", true};
  if (tessarix.exe.empty() || bare.exe.empty()) {
    std::printf("TESSARIX_EXE and BARE_WINDOW_EXE must name the programs\n");
    return 2;
  }
  const int starts = setting_or("BENCH_STARTS", 7);
  const int idle_rounds = setting_or("BENCH_IDLE_ROUNDS", 2);
  const DWORD idle_ms = static_cast<DWORD>(setting_or("BENCH_IDLE_SECONDS", 10)) * 1000;
  setvbuf(stdout, nullptr, _IONBF, 0);

  // Start-up and memory: the two programs in turn, after one discarded start of each.
  for (const program* p : {&tessarix, &bare}) {
    started s;
    launch(*p, s);
    close(s);
  }
  std::vector<double> start_ms[2], rss_kib[2], anon_kib[2];
  for (int round = 0; round < starts; ++round) {
    for (int i = 0; i < 2; ++i) {
      started s;
      launch(i == 0 ? tessarix : bare, s);
      if (!s.ok) {
        std::printf("%s: no window\n", i == 0 ? tessarix.label : bare.label);
        close(s);
        continue;
      }
      start_ms[i].push_back(s.startup_ms);
      Sleep(1000);
      rss_kib[i].push_back(static_cast<double>(status_kib(s.pid, "VmRSS")));
      anon_kib[i].push_back(static_cast<double>(status_kib(s.pid, "RssAnon")));
      close(s);
    }
  }
  print_series("start-up", tessarix.label, start_ms[0], "ms");
  print_series("start-up", bare.label, start_ms[1], "ms");
  print_series("resident", tessarix.label, rss_kib[0], "KiB");
  print_series("resident", bare.label, rss_kib[1], "KiB");
  print_series("resident anonymous", tessarix.label, anon_kib[0], "KiB");
  print_series("resident anonymous", bare.label, anon_kib[1], "KiB");

  // Idle: the three programs in turn, each with the pointer outside, then on "START".
  const program* idle_programs[] = {&tessarix, &bare, &bare_reapply, &bare_reapply_sound};
  constexpr int IDLE_PROGRAMS = 4;
  std::vector<double> main_ms[IDLE_PROGRAMS][2], all_ms[IDLE_PROGRAMS][2];
  for (int round = 0; round < idle_rounds; ++round) {
    for (int i = 0; i < IDLE_PROGRAMS; ++i) {
      started s;
      launch(*idle_programs[i], s);
      if (!s.ok) {
        std::printf("%s: no window\n", idle_programs[i]->label);
        close(s);
        continue;
      }
      Sleep(1500);
      for (int place = 0; place < 2; ++place) {
        if (place == 0) {
          e2e::move_pointer(2, 2);
        } else {
          RECT r;
          GetWindowRect(s.app.button("START"), &r);
          e2e::move_pointer((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        }
        Sleep(1500);  // hover effects settle
        double main_before = unix_cpu_ms(s.pid, true), all_before = unix_cpu_ms(s.pid, false);
        Sleep(idle_ms);
        double main_after = unix_cpu_ms(s.pid, true), all_after = unix_cpu_ms(s.pid, false);
        if (main_before < 0 || main_after < 0 || all_before < 0 || all_after < 0) {
          std::printf("%s: CPU times unreadable\n", idle_programs[i]->label);
          continue;
        }
        main_ms[i][place].push_back(main_after - main_before);
        all_ms[i][place].push_back(all_after - all_before);
      }
      close(s);
    }
  }
  const char* places[] = {"pointer outside", "pointer on START"};
  for (int place = 0; place < 2; ++place) {
    for (int i = 0; i < IDLE_PROGRAMS; ++i) {
      std::string what = std::string("idle main thread, ") + places[place];
      print_series(what.c_str(), idle_programs[i]->label, main_ms[i][place], "ms CPU");
    }
    for (int i = 0; i < IDLE_PROGRAMS; ++i) {
      std::string what = std::string("idle process, ") + places[place];
      print_series(what.c_str(), idle_programs[i]->label, all_ms[i][place], "ms CPU");
    }
  }

  print_ratio("start-up Tessarix / bare", start_ms[0], start_ms[1]);
  print_ratio("resident Tessarix / bare", rss_kib[0], rss_kib[1]);
  print_ratio("resident anonymous Tessarix / bare", anon_kib[0], anon_kib[1]);
  for (int place = 0; place < 2; ++place) {
    std::string what = std::string("idle main thread (") + places[place] + ") / bare+re-apply";
    print_ratio(what.c_str(), main_ms[0][place], main_ms[2][place]);
    what = std::string("idle main thread (") + places[place] + ") / bare";
    print_ratio(what.c_str(), main_ms[0][place], main_ms[1][place]);
  }
  // The whole process, the sound system's threads included.
  for (int place = 0; place < 2; ++place) {
    std::string what = std::string("idle process (") + places[place] + ") / bare+re-apply";
    print_ratio(what.c_str(), all_ms[0][place], all_ms[2][place]);
    what = std::string("idle process (") + places[place] + ") / bare+re-apply+sound";
    print_ratio(what.c_str(), all_ms[0][place], all_ms[3][place]);
  }
  return 0;
}
