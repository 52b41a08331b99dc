// Drives a running KeepFresh.exe from outside, the way a user would, through
// window messages only, and reads what it draws on its log from Wine's relay
// trace of its TextOutW calls.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "tests/launch.h"
#include "tests/support.h"

namespace e2e {

// Generous: a Wine process takes a second or two to start, and more on a
// loaded machine.
constexpr std::chrono::milliseconds kPatience{20000};

// Polls until done() holds; false when the patience ran out first.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds patience = kPatience);

// Where the test programs, sleeper.exe and KeepFresh.exe are.
std::wstring ExeDirectory();
// The bytes of a file that another process may hold open; empty when it
// cannot be read.
std::string ContentsOf(const std::wstring& path);

// ---- Windows of other processes --------------------------------------------

// Visible top-level windows of a process, of one class.
std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className);
// Visible top-level windows of that class in every process.
std::vector<HWND> WindowsOfClass(const wchar_t* className);
DWORD ProcessOf(HWND window);
// A direct or deeper child with that id, of that class when one is given.
HWND ChildWithId(HWND parent, int id, const wchar_t* className = nullptr);

// WM_GETTEXT / WM_SETTEXT, sent across the process boundary.
std::string TextOf(HWND window);
bool SetTextOf(HWND window, const std::wstring& text);
// Posted, so that a handler that opens a modal box cannot block the driver.
void Click(HWND button);
// Returns once the window's thread has handled everything posted before.
bool Sync(HWND window);

// ---- Processes -------------------------------------------------------------

DWORD ParentOf(DWORD processId);  // 0 when it is not running
// Drive-letter path of a process's executable in its long form, or empty.
std::wstring ImagePathOf(DWORD processId);
std::wstring LongPath(const std::wstring& path);

// A process this driver started and owns: ended, if still running, when it goes.
class OwnedProcess {
 public:
  OwnedProcess() = default;
  OwnedProcess(HANDLE process, DWORD id) : handle_(process), id_(id) {}
  ~OwnedProcess();
  OwnedProcess(OwnedProcess&& other) noexcept;
  OwnedProcess& operator=(OwnedProcess&& other) noexcept;
  OwnedProcess(const OwnedProcess&) = delete;
  OwnedProcess& operator=(const OwnedProcess&) = delete;

  HANDLE handle() const { return handle_; }
  DWORD id() const { return id_; }
  bool running() const;
  // Exit code once it has ended within the patience; STILL_ACTIVE otherwise.
  DWORD WaitForExit(std::chrono::milliseconds patience = kPatience) const;
  void End();

 private:
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

// Starts an executable with the given environment (null: the driver's own)
// and no standard streams of the driver's, so that nothing it leaves behind
// holds the test runner's pipes open.
OwnedProcess Start(const std::wstring& path, const wchar_t* environment = nullptr);

// ---- The relay trace -------------------------------------------------------

// The file that the driver's standard error goes to (tests/e2e-run.sh sets it
// up); the processes it starts inherit that stream. Empty when not set.
std::wstring TracePath();
// The environment for a process whose TextOutW calls are to be traced.
std::wstring TracingEnvironment();
// Wine reads which calls to trace from the prefix's registry; this turns it
// to TextOutW alone, for as long as the object lives.
class RelayFilter {
 public:
  RelayFilter();
  ~RelayFilter();
  RelayFilter(const RelayFilter&) = delete;
  RelayFilter& operator=(const RelayFilter&) = delete;

 private:
  bool hadValue_ = false;
  std::wstring before_;
};

struct LogLine {
  std::string time;     // "9时5分7秒"
  std::string message;  // what follows "----"
};
// The log lines a process drew on its canvas so far, oldest first.
std::vector<LogLine> LogOf(DWORD processId);
std::vector<std::string> LogMessagesOf(DWORD processId);

// ---- KeepFresh -------------------------------------------------------------

constexpr int kFirstControlId = 1000;
constexpr int ControlId(Control control) { return kFirstControlId + static_cast<int>(control); }

// A running KeepFresh: its process and its main window.
class KeepFresh {
 public:
  // Starts the executable with its TextOutW calls traced and waits for its
  // window to show. window() is null when it never came.
  static KeepFresh Launch(const std::wstring& exePath);
  // Takes an instance that something else started, by its visible window.
  static KeepFresh Adopt(HWND window);

  const OwnedProcess& process() const { return process_; }
  DWORD id() const { return process_.id(); }
  HWND window() const { return window_; }

  HWND control(Control c) const;
  std::string TextOf(Control c) const;
  bool SetText(Control c, const std::wstring& text) const;
  void Click(Control c) const;

  // The visible error box the program shows, or null.
  HWND ErrorBox() const;
  // The visible open-file dialog owned by the main window, or null.
  HWND FileDialog() const;

 private:
  OwnedProcess process_;
  HWND window_ = nullptr;
};

// Message box and file dialog, as the system builds them.
std::string MessageOf(HWND box);
void PressOk(HWND dialog);
void PressCancel(HWND dialog);
// Types a path into the open-file dialog's file name field.
bool TypeFileName(HWND dialog, const std::wstring& path);

}  // namespace e2e
