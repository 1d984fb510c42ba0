// program_run against real programs: a helper program built with these tests, and the
// shell with a stand-in browser launcher that notes each address it is given.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "runtime/core/runtime.h"
#include "runtime/requester/requester.h"
#include "tests/test_runtime.h"
#include "tests/test_time.h"
#include "tests/wine_paths.h"

namespace {

std::string test_folder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1);
}

std::string child_path() { return test_folder() + "child_program.exe"; }

// Everything a pipe yields until the program at its other end closes it.
std::string read_all(void* pipe) {
  std::string text;
  char chunk[256];
  DWORD got = 0;
  while (ReadFile(static_cast<HANDLE>(pipe), chunk, sizeof(chunk), &got, nullptr) && got) text.append(chunk, got);
  return text;
}

// The handles this process holds. NOTE: GetProcessHandleCount answers 0 under Wine, so
// the handle values are probed instead; they are handed out lowest first, so the first
// four thousand cover every handle a test process holds.
DWORD open_handles() {
  DWORD count = 0, flags = 0;
  for (ULONG_PTR value = 4; value < 0x4000; value += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  return count;
}

const program_record* kept(intptr_t handle) { return reinterpret_cast<const program_record*>(handle); }

// Waits for a kept program and closes what its record holds.
void finish(const program_record* program) {
  if (!program) return;
  if (program->process) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(program->process, 10000)) << "program did not end";
    CloseHandle(program->process);
  }
  for (void* end : {program->input_write, program->output_read, program->error_read})
    if (end) CloseHandle(end);
}

// What the started helper wrote to its standard output; "" (and a failure) when it could
// not be started.
std::string output_of(const char* file, const char* parameters, const char* directory = "",
                      uint32_t flags = PROGRAM_KEEP | PROGRAM_READ) {
  intptr_t handle = program_run(file, parameters, directory, flags);
  EXPECT_NE(0, handle) << "file [" << file << "] parameters [" << (parameters ? parameters : "(null)") << "]";
  if (!handle) return "";
  std::string text = read_all(kept(handle)->output_read);
  finish(kept(handle));
  return text;
}

// The stand-in browser launcher appends each address it is handed, one a line, to the
// file that TESSARIX_BROWSER_LOG names (a path of the host system).
std::string browser_log() {
  std::ifstream log(wine_paths::windows_path(wine_paths::setting("TESSARIX_BROWSER_LOG")), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(log), {});
}

bool browser_was_given(const std::string& address, int within_ms) {
  return test_time::wait_until([&] { return browser_log().find(address) != std::string::npos; }, within_ms, 100);
}

// An address no test has used before, so that the shared log cannot answer for another run.
std::string fresh_address(const char* what) {
  static int count = 0;
  return "http://tessarix.invalid/" + std::string(what) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount()) + "-" + std::to_string(++count);
}

// Closes every message box of this process while it lives and counts them: a shell that
// is tried with a file it cannot open reports that in a box of its own, which would
// otherwise wait for a user.
class box_closer {
 public:
  ~box_closer() {
    stop_ = true;
    watcher_.join();
  }
  LONG closed() const { return closed_; }

 private:
  static BOOL CALLBACK close_box(HWND window, LPARAM parameter) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    if (process == GetCurrentProcessId() && std::string(name) == "#32770" && IsWindowVisible(window)) {
      PostMessageA(window, WM_CLOSE, 0, 0);
      ++reinterpret_cast<box_closer*>(parameter)->closed_;
    }
    return TRUE;
  }
  std::atomic<bool> stop_{false};
  std::atomic<LONG> closed_{0};
  std::thread watcher_{[this] {
    for (; !stop_; Sleep(50)) EnumWindows(close_box, reinterpret_cast<LPARAM>(this));
  }};
};

using Program = test_runtime::RuntimeTest;

TEST_F(Program, KeptProgramsGiveRecordsOfTheirOwnAndTheOutputOfTheirPipes) {
  intptr_t first = program_run(child_path().c_str(), "write hello-from-child", "", PROGRAM_KEEP | PROGRAM_READ);
  intptr_t second = program_run(child_path().c_str(), "write b", "", PROGRAM_KEEP | PROGRAM_READ);
  ASSERT_NE(0, first);
  ASSERT_NE(0, second);
  EXPECT_NE(first, second);
  const program_record* program = kept(first);
  ASSERT_NE(nullptr, program->process);
  EXPECT_EQ(static_cast<int32_t>(GetProcessId(program->process)), program->process_id);
  EXPECT_NE(nullptr, program->output_read);
  EXPECT_EQ(nullptr, program->input_write) << "no input pipe was asked for";
  EXPECT_EQ(nullptr, program->error_read) << "no error pipe was asked for";
  EXPECT_EQ("hello-from-child", read_all(program->output_read));
  EXPECT_EQ("b", read_all(kept(second)->output_read));
  finish(program);
  finish(kept(second));
}

TEST_F(Program, InputAndErrorPipesReachTheProgram) {
  intptr_t handle = program_run(child_path().c_str(), "echo", "", PROGRAM_KEEP | PROGRAM_READ | PROGRAM_WRITE);
  ASSERT_NE(0, handle);
  const program_record* program = kept(handle);
  ASSERT_NE(nullptr, program->input_write);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(program->input_write, "ping\r\npong", 10, &written, nullptr));
  // The program sees the end of its input only if no copy of the write end reached it.
  CloseHandle(program->input_write);
  EXPECT_EQ("ping\r\npong", read_all(program->output_read));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(program->process, 10000));
  CloseHandle(program->output_read);
  CloseHandle(program->process);

  handle = program_run(child_path().c_str(), "error oops", "", PROGRAM_KEEP | PROGRAM_ERROR);
  ASSERT_NE(0, handle);
  program = kept(handle);
  EXPECT_EQ(nullptr, program->output_read);
  ASSERT_NE(nullptr, program->error_read);
  EXPECT_EQ("oops", read_all(program->error_read));
  finish(program);

  // Pipe flags without the keep flag: nothing to hand the ends to, so none are made.
  EXPECT_EQ(1, program_run(child_path().c_str(), "sleep 10", "", PROGRAM_READ | PROGRAM_WAIT));
}

TEST_F(Program, CommandLineQuotesTheFileOnceAndEmptyParametersAddNoSpace) {
  const std::string path = child_path();
  const std::string quoted = "\"" + path + "\"";
  struct {
    std::string file;
    const char* parameters;
    std::string expected;
  } cases[] = {
      {path, nullptr, quoted},
      {quoted, "", quoted},
      // A command line the caller made itself, arguments after the quoted file.
      {quoted + " write x", "", "x"},
      {path, "write  two  spaces", "two"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, output_of(c.file.c_str(), c.parameters))
        << "file [" << c.file << "] parameters [" << (c.parameters ? c.parameters : "(null)") << "]";
}

TEST_F(Program, FileWithSpacesStartsBecauseItIsQuoted) {
  std::string folder = test_folder() + "spaced folder\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string copy = folder + "child program.exe";
  ASSERT_TRUE(CopyFileA(child_path().c_str(), copy.c_str(), FALSE)) << "error " << GetLastError();
  EXPECT_EQ("spaced", output_of(copy.c_str(), "write spaced"));
  DeleteFileA(copy.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST_F(Program, DirectoryIsTheProgramsCurrentOneAndEmptyMeansTheCallers) {
  char own[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof(own), own);
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, sizeof(windows));
  EXPECT_STRCASEEQ(windows, output_of(child_path().c_str(), "directory", windows).c_str());
  EXPECT_STRCASEEQ(own, output_of(child_path().c_str(), "directory", "").c_str());
  EXPECT_STRCASEEQ(own, output_of(child_path().c_str(), "directory", nullptr).c_str());
}

TEST_F(Program, WaitReturnsOnlyAfterTheProgramEnded) {
  DWORD start = GetTickCount();
  EXPECT_EQ(1, program_run(child_path().c_str(), "sleep 400", "", PROGRAM_WAIT));
  EXPECT_GE(GetTickCount() - start, 380u);

  intptr_t handle = program_run(child_path().c_str(), "sleep 200", "", PROGRAM_WAIT | PROGRAM_KEEP);
  ASSERT_NE(0, handle);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(kept(handle)->process, 0)) << "kept and waited for: already ended";
  finish(kept(handle));

  handle = program_run(child_path().c_str(), "sleep 3000", "", PROGRAM_KEEP);
  ASSERT_NE(0, handle);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(kept(handle)->process, 0)) << "not waited for: still running";
  TerminateProcess(kept(handle)->process, 0);
  finish(kept(handle));
}

TEST_F(Program, HideFlagStartsTheProgramHidden) {
  EXPECT_EQ("show=1", output_of(child_path().c_str(), "startup"));
  EXPECT_EQ("show=0", output_of(child_path().c_str(), "startup", "", PROGRAM_KEEP | PROGRAM_READ | PROGRAM_HIDE));
  // Hidden and detached, without pipes.
  EXPECT_EQ(1, program_run(child_path().c_str(), "sleep 10", "", PROGRAM_HIDE | PROGRAM_WAIT));
}

TEST_F(Program, WebAddressGoesToTheShellAndReachesTheBrowser) {
  std::string address = fresh_address("home");
  intptr_t handle = program_run(address.c_str(), "", "", PROGRAM_KEEP);
  ASSERT_NE(0, handle);
  const program_record* program = kept(handle);
  EXPECT_EQ(PROGRAM_OPENED_BY_SHELL, program->process_id);
  EXPECT_EQ(nullptr, program->input_write);
  EXPECT_EQ(nullptr, program->output_read);
  EXPECT_EQ(nullptr, program->error_read);
  EXPECT_TRUE(browser_was_given(address, 30000)) << address << " not in the log:\n" << browser_log();
  finish(program);

  // Without the keep flag: success, no record.
  address = fresh_address("plain");
  EXPECT_EQ(1, program_run(address.c_str(), nullptr, nullptr, PROGRAM_WAIT));
  EXPECT_TRUE(browser_was_given(address, 30000)) << address;
}

TEST_F(Program, PipeFlagsWithAProgramThatCannotStartFailWithoutShellOrLeakedHandle) {
  const uint32_t flag_sets[] = {
      PROGRAM_KEEP | PROGRAM_READ,
      PROGRAM_KEEP | PROGRAM_READ | PROGRAM_WRITE | PROGRAM_ERROR,
      PROGRAM_KEEP | PROGRAM_WRITE,
      PROGRAM_READ,
      PROGRAM_CONNECT,
  };
  box_closer shell_boxes;
  // Once, so that whatever the platform opens for itself on a first start is counted before.
  program_run("Z:\\nowhere\\missing.exe", "", "", PROGRAM_KEEP | PROGRAM_READ);
  const DWORD handles_before = open_handles();
  std::string addresses[std::size(flag_sets)];
  for (size_t i = 0; i < std::size(flag_sets); ++i) {
    addresses[i] = fresh_address("refused");
    EXPECT_EQ(0, program_run(addresses[i].c_str(), "", "", flag_sets[i])) << "flags " << flag_sets[i];
    EXPECT_EQ(0, program_run("Z:\\nowhere\\missing.exe", "", "", flag_sets[i])) << "flags " << flag_sets[i];
  }
  EXPECT_EQ(handles_before, open_handles()) << "handles left open by failed starts";

  // The shell, had it been tried, would have handed them on before this one, started after them.
  std::string control = fresh_address("control");
  EXPECT_EQ(1, program_run(control.c_str(), "", "", 0));
  EXPECT_TRUE(browser_was_given(control, 30000)) << control;
  std::string log = browser_log();
  for (size_t i = 0; i < std::size(flag_sets); ++i)
    EXPECT_EQ(std::string::npos, log.find(addresses[i])) << "flags " << flag_sets[i] << " reached the shell";
  EXPECT_EQ(0, shell_boxes.closed()) << "the shell was tried with a program that cannot start";
}

TEST_F(Program, NothingToStartIsAFailure) {
  EXPECT_EQ(0, program_run(nullptr, "", "", 0));
  EXPECT_EQ(0, program_run("", "", "", PROGRAM_KEEP));
  EXPECT_EQ(0, program_run(nullptr, nullptr, nullptr, PROGRAM_KEEP | PROGRAM_READ));
  // A document that is not there goes to the shell, which fails without a word.
  box_closer shell_boxes;
  EXPECT_EQ(0, program_run("Z:\\nowhere\\missing.tessarix-document", "", "", PROGRAM_KEEP));
  EXPECT_EQ(0, program_run("Z:\\nowhere\\missing.tessarix-document", "", "", 0));
  EXPECT_EQ(0, shell_boxes.closed()) << "the shell showed a box of its own";
}

TEST(ProgramOutsideTheRuntime, RunBeforeStartFails) {
  EXPECT_EQ(0, program_run(child_path().c_str(), "write x", "", 0));
}

}  // namespace
