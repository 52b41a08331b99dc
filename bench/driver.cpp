// The Windows side of the footprint benchmark (scripts/bench.sh): starts
// KeepFresh and the floor, times them from outside and drives KeepFresh only
// through window messages, as a user's clicks would.
//
//   driver startup <runs> <exe> <class> [<exe> <class>]...
//       launch to visible window, in ms; the programs take turns
//   driver work <keepfresh.exe> <floor.exe> <target.exe>
//       leaves KeepFresh working (interval 3600) and the floor idle
//   driver cycle <runs> <keepfresh.exe> <floor.exe> <target.exe>
//       tick to the target's new process, in ms: KeepFresh with the target
//       running and with none, the floor
//   driver close <file name>...
//       ends every process of those names
//
// Paths are Windows paths. Results go to standard output, one per line:
// "<what> <program> <value>".
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "tests/launch.h"

namespace {

const wchar_t kKeepFreshClass[] = L"KeepFreshMainWindow";
const wchar_t kFloorClass[] = L"FloorWindow";
// The message that runs OnCountdownTick, and the floor's "open" at once.
constexpr WPARAM kTickTimer = 1;
constexpr DWORD kPatienceMs = 30000;
constexpr DWORD kSendTimeoutMs = 5000;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

void Report(const char* what, const std::wstring& program, double value) {
  printf("%s %ls %.3f\n", what, FileNameOf(program).c_str(), value);
  fflush(stdout);
}

[[noreturn]] void Fail(const char* what, const std::wstring& program) {
  fprintf(stderr, "driver: %s: %ls\n", what, program.c_str());
  exit(1);
}

// ---- Processes -------------------------------------------------------------

struct Started {
  HANDLE process = nullptr;
  DWORD id = 0;
};

Started Launch(const std::wstring& path, const std::wstring& arguments = std::wstring()) {
  PROCESS_INFORMATION info;
  if (!LaunchQuietly(path, arguments, nullptr, &info)) Fail("cannot start", path);
  return {info.hProcess, info.dwProcessId};
}

DWORD NewProcessNamed(const std::wstring& name, const std::vector<DWORD>& before) {
  for (DWORD id : ProcessesNamed(name))
    if (std::find(before.begin(), before.end(), id) == before.end()) return id;
  return 0;
}

struct WindowSearch {
  DWORD processId;  // 0: any process
  const wchar_t* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  if (!IsWindowVisible(window)) return TRUE;
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  if (search->processId && id != search->processId) return TRUE;
  wchar_t name[64];
  if (search->className && !(GetClassNameW(window, name, 64) && lstrcmpW(name, search->className) == 0)) return TRUE;
  search->found.push_back(window);
  return TRUE;
}

std::vector<HWND> VisibleWindows(DWORD processId, const wchar_t* className) {
  WindowSearch search{processId, className, {}};
  EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Closes the windows of every process of that name, and ends at once those
// without one (the target) and, after a while, those that stay.
void EndProcessesNamed(const std::wstring& name) {
  std::vector<HANDLE> handles;
  for (DWORD id : ProcessesNamed(name)) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!process) continue;
    std::vector<HWND> windows = VisibleWindows(id, nullptr);
    for (HWND window : windows) PostMessageW(window, WM_CLOSE, 0, 0);
    if (windows.empty()) TerminateProcess(process, 1);
    handles.push_back(process);
  }
  for (HANDLE process : handles) {
    if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
  }
}

// ---- Windows -----------------------------------------------------------------

// Polls as fast as the system lets a waiting program: the figure is the time
// from the launch to the first poll that sees the window.
HWND WaitForWindow(DWORD processId, const wchar_t* className) {
  double deadline = NowMs() + kPatienceMs;
  while (NowMs() < deadline) {
    std::vector<HWND> found = VisibleWindows(processId, className);
    if (!found.empty()) return found.front();
    Sleep(1);
  }
  return nullptr;
}

// Returns once the window's thread has handled all that was posted before.
bool Sync(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
}

HWND ControlOf(HWND window, Control control) { return GetDlgItem(window, 1000 + static_cast<int>(control)); }

bool SetText(HWND window, Control control, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(ControlOf(window, control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) &&
         result;
}

std::wstring TextOf(HWND window, Control control) {
  wchar_t text[64] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(ControlOf(window, control), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      kSendTimeoutMs, &copied);
  return text;
}

// Posted, as a user's click arrives, so that a refusal box could not block us.
bool Click(HWND window, Control control) {
  PostMessageW(ControlOf(window, control), BM_CLICK, 0, 0);
  return Sync(window);
}

// A running KeepFresh with its inputs filled in.
HWND LaunchKeepFresh(const std::wstring& path, const std::wstring& interval, const std::wstring& target) {
  Started app = Launch(path);
  CloseHandle(app.process);
  HWND window = WaitForWindow(app.id, kKeepFreshClass);
  if (!window) Fail("no main window", path);
  if (!SetText(window, Control::编辑框_倒计时, interval) || !SetText(window, Control::编辑框_路径, target) ||
      !SetText(window, Control::编辑框_进程名称, FileNameOf(target)))
    Fail("cannot fill in the inputs", path);
  return window;
}

HWND LaunchFloor(const std::wstring& path, const std::wstring& arguments = std::wstring()) {
  Started floor = Launch(path, arguments);
  CloseHandle(floor.process);
  HWND window = WaitForWindow(floor.id, kFloorClass);
  if (!window) Fail("no window", path);
  return window;
}

// ---- Commands ----------------------------------------------------------------

int Startup(int runs, const std::vector<std::wstring>& programs) {
  // The first launch of each, untimed, brings its files into the cache.
  for (int run = -1; run < runs; ++run) {
    for (size_t i = 0; i + 1 < programs.size(); i += 2) {
      double start = NowMs();
      Started app = Launch(programs[i]);
      HWND window = WaitForWindow(app.id, programs[i + 1].c_str());
      double shown = NowMs();
      if (!window) Fail("no window", programs[i]);
      if (run >= 0) Report("startup_ms", programs[i], shown - start);
      PostMessageW(window, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(app.process, 10000) != WAIT_OBJECT_0) TerminateProcess(app.process, 1);
      CloseHandle(app.process);
    }
  }
  return 0;
}

int Work(const std::wstring& keepFresh, const std::wstring& floor, const std::wstring& target) {
  // With the target already running, the start finds it and opens nothing:
  // what follows is the countdown alone.
  if (ProcessesNamed(FileNameOf(target)).empty()) CloseHandle(Launch(target).process);
  HWND window = LaunchKeepFresh(keepFresh, L"3600", target);
  if (!Click(window, Control::按钮2) || TextOf(window, Control::按钮2) != L"停止工作")
    Fail("did not start working", keepFresh);
  LaunchFloor(floor);
  printf("ready\n");
  fflush(stdout);
  return 0;
}

// Time from posting the tick to a new process of the target in the process list.
double TimeTick(HWND window, const std::wstring& targetName, const std::vector<DWORD>& before) {
  double start = NowMs();
  PostMessageW(window, WM_TIMER, kTickTimer, 0);
  while (!NewProcessNamed(targetName, before)) {
    if (NowMs() - start > kPatienceMs) Fail("the target never started", targetName);
    Sleep(1);
  }
  return NowMs() - start;
}

int Cycle(int runs, const std::wstring& keepFresh, const std::wstring& floor, const std::wstring& target) {
  std::wstring targetName = FileNameOf(target);
  EndProcessesNamed(targetName);

  // A tick runs a cycle when the count stands at 0, and with an interval of
  // "0" every cycle reloads 0. Only a valid interval can start the work, so
  // start with 1, stop the timer at once and let one tick of ours count the
  // 1 down: from then on each tick we post is a restart cycle, and no timer
  // tick of KeepFresh's own comes between.
  HWND app = LaunchKeepFresh(keepFresh, L"1", target);
  if (!Click(app, Control::按钮2) || !Click(app, Control::按钮2) || TextOf(app, Control::按钮2) != L"开始工作")
    Fail("cannot start and stop the work", keepFresh);
  SetText(app, Control::编辑框_倒计时, L"0");
  PostMessageW(app, WM_TIMER, kTickTimer, 0);
  Sync(app);
  HWND bare = LaunchFloor(floor, L"/open \"" + target + L"\"");

  for (int run = 0; run < runs; ++run) {
    // KeepFresh's cycle ends the running target, as in use, then opens it.
    if (ProcessesNamed(targetName).empty()) CloseHandle(Launch(target).process);
    Report("cycle_ms", keepFresh, TimeTick(app, targetName, ProcessesNamed(targetName)));
    Sync(app);
    Sleep(300);

    // With no target running, its cycle only looks for it and opens it.
    EndProcessesNamed(targetName);
    Report("cycle_none_running_ms", keepFresh, TimeTick(app, targetName, {}));
    Sync(app);
    Sleep(300);

    // The floor only opens it.
    EndProcessesNamed(targetName);
    Report("cycle_ms", floor, TimeTick(bare, targetName, {}));
    Sync(bare);
    Sleep(300);
  }
  EndProcessesNamed(FileNameOf(keepFresh));
  EndProcessesNamed(FileNameOf(floor));
  EndProcessesNamed(targetName);
  return 0;
}

int Usage() {
  fprintf(stderr,
          "usage: driver startup <runs> <exe> <class> [<exe> <class>]...\n"
          "       driver work <keepfresh.exe> <floor.exe> <target.exe>\n"
          "       driver cycle <runs> <keepfresh.exe> <floor.exe> <target.exe>\n"
          "       driver close <file name>...\n");
  return 2;
}

}  // namespace

int main() {
  // The wide command line: paths are not bound to the ANSI code page.
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < argc; ++i) args.push_back(argv[i]);
  if (args.empty()) return Usage();
  const std::wstring& command = args[0];
  if (command == L"startup" && args.size() >= 4 && args.size() % 2 == 0)
    return Startup(_wtoi(args[1].c_str()), std::vector<std::wstring>(args.begin() + 2, args.end()));
  if (command == L"work" && args.size() == 4) return Work(args[1], args[2], args[3]);
  if (command == L"cycle" && args.size() == 5) return Cycle(_wtoi(args[1].c_str()), args[2], args[3], args[4]);
  if (command == L"close") {
    for (size_t i = 1; i < args.size(); ++i) EndProcessesNamed(args[i]);
    return 0;
  }
  return Usage();
}
