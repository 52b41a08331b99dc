// The watchdog's event handlers against a real main window, with real
// processes and files. Fakes stand in only where the real call would block
// (the error box, the open-file dialog), leave the test (the shell, ending
// the own process) or cannot be made to fail on demand.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/activity_log.h"
#include "app/controls.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "platform/bindings.h"
#include "platform/override.h"
#include "process/process.h"
#include "tests/support.h"
#include "watchdog/watchdog.h"

namespace {

// A target that is never started for real (the shell is faked), with a blank
// and Chinese characters, and a process name that nothing runs under.
const char kTarget[] = "C:\\工具\\My App\\应用.exe";
const char kTargetName[] = "应用.exe";
const char kAbsent[] = "KeepFreshAbsent.exe";

// The path in tests/golden/Restart.bat.
const char kGoldenPath[] = "C:\\PROGRA~1\\TOOLS\\APP.EXE";

constexpr UINT kErrorBoxStyle = MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND;

struct ErrorBox {
  HWND owner;
  std::string text, title;
  UINT style;
};

struct ShellCall {
  HWND owner;
  std::wstring verb, file;
  bool noParameters;
  std::wstring directory;  // "(null)" when none was given
  INT show;
};

struct LogLine {
  int y;
  std::string text;
};

struct StartCall {
  bool noApplication;
  std::wstring commandLine;
  BOOL inherit;
  DWORD flags;
  bool ownEnvironment;
  std::wstring directory;
  DWORD startFlags;
  WORD show;
  HANDLE process, thread;  // what the fake handed back
};

struct DialogCall {
  HWND owner;
  DWORD size, flags, maxFile, maxFileTitle;
  bool noFilter, noTitle, noInitialDirectory, noDefaultExtension, hasFileTitleBuffer;
  std::wstring initialFile;
};

// What the fakes saw; fresh for every test.
struct Seen {
  HWND canvas = nullptr;
  std::vector<ErrorBox> boxes;
  std::vector<ShellCall> opened;
  std::vector<LogLine> log;
  std::vector<UINT> selfEnds;  // exit codes of attempts to end this process
  std::vector<StartCall> starts;
  bool startSucceeds = true;
  std::vector<DWORD> idleWaits;
  std::vector<DialogCall> dialogs;
  std::wstring dialogAnswer;  // empty: the user cancels
} seen;

int WINAPI FakeMessageBox(HWND owner, LPCWSTR text, LPCWSTR title, UINT style) {
  seen.boxes.push_back({owner, To936(text ? text : L""), To936(title ? title : L""), style});
  return IDOK;
}

HINSTANCE WINAPI FakeShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                  INT show) {
  seen.opened.push_back({owner, verb ? verb : L"(null)", file ? file : L"(null)", parameters == nullptr,
                         directory ? directory : L"(null)", show});
  return reinterpret_cast<HINSTANCE>(42);
}

// Records the lines drawn on the persistent image (the screen gets the same
// lines again) and draws them for real.
BOOL WINAPI RecordingTextOut(HDC dc, int x, int y, LPCWSTR text, int units) {
  CanvasState* canvas = CanvasOf(seen.canvas);
  if (canvas && dc == canvas->image) seen.log.push_back({y, To936(std::wstring(text, units))});
  return TextOutW(dc, x, y, text, units);
}

// Ends other processes for real, never this one.
BOOL WINAPI GuardedTerminateProcess(HANDLE process, UINT exitCode) {
  if (GetProcessId(process) == GetCurrentProcessId()) {
    seen.selfEnds.push_back(exitCode);
    return TRUE;
  }
  return TerminateProcess(process, exitCode);
}

// Hands back two fresh events as the "process" and "thread", so that the
// test can tell whether they were closed.
BOOL WINAPI RecordingCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                                   LPSECURITY_ATTRIBUTES, BOOL inherit, DWORD flags, LPVOID environment,
                                   LPCWSTR directory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
  StartCall call = {application == nullptr, commandLine ? commandLine : L"(null)", inherit, flags,
                    environment == nullptr, directory ? directory : L"(null)", startup->dwFlags,
                    startup->wShowWindow, nullptr, nullptr};
  if (seen.startSucceeds) {
    call.process = info->hProcess = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    call.thread = info->hThread = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    info->dwProcessId = info->dwThreadId = 0;
  }
  seen.starts.push_back(call);
  if (!seen.startSucceeds) SetLastError(ERROR_FILE_NOT_FOUND);
  return seen.startSucceeds;
}

DWORD WINAPI RecordingWaitForInputIdle(HANDLE, DWORD milliseconds) {
  seen.idleWaits.push_back(milliseconds);
  return 0;
}

HANDLE WINAPI FailingCreateFile(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  SetLastError(ERROR_ACCESS_DENIED);
  return INVALID_HANDLE_VALUE;
}

BOOL WINAPI FailingWriteFile(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

DWORD WINAPI NoShortPath(LPCWSTR, LPWSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return 0;
}

BOOL WINAPI FakeOpenDialog(LPOPENFILENAMEW dialog) {
  seen.dialogs.push_back({dialog->hwndOwner, dialog->lStructSize, dialog->Flags, dialog->nMaxFile,
                          dialog->nMaxFileTitle, dialog->lpstrFilter == nullptr, dialog->lpstrTitle == nullptr,
                          dialog->lpstrInitialDir == nullptr, dialog->lpstrDefExt == nullptr,
                          dialog->lpstrFileTitle != nullptr, dialog->lpstrFile ? dialog->lpstrFile : L"(null)"});
  if (seen.dialogAnswer.empty()) return FALSE;
  lstrcpynW(dialog->lpstrFile, seen.dialogAnswer.c_str(), dialog->nMaxFile);
  return TRUE;
}

Text ToText(const std::string& bytes) { return Text(bytes.data(), bytes.size()); }
std::string FromText(const Text& text) { return std::string(text.c_str(), text.size()); }

std::wstring ModulePath() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, n);
}

std::wstring BesideTheTests(const std::wstring& name) {
  std::wstring path = ModulePath();
  return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

// The whole file, or "(missing)" when it cannot be opened.
std::string FileBytes(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return "(missing)";
  std::string bytes;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, n);
  fclose(file);
  return bytes;
}

std::string Golden() { return FileBytes(BesideTheTests(L"golden\\Restart.bat")); }

// The golden batch for another executable path.
std::string GoldenFor(const std::string& executablePath) {
  std::string batch = Golden();
  size_t at = batch.find(kGoldenPath);
  return at == std::string::npos ? batch : batch.replace(at, sizeof kGoldenPath - 1, executablePath);
}

std::wstring ShortPath(const std::wstring& path) {
  wchar_t shortPath[MAX_PATH];
  DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  return std::wstring(shortPath, n < MAX_PATH ? n : 0);
}

bool Closed(HANDLE handle) {
  DWORD flags;
  return !GetHandleInformation(handle, &flags);
}

// Digits below limit, at most two of them, as the log's time of day has.
bool TakeNumber(const std::string& s, size_t& at, int limit) {
  size_t start = at;
  int value = 0;
  while (at < s.size() && at - start < 2 && s[at] >= '0' && s[at] <= '9') value = value * 10 + (s[at++] - '0');
  return at > start && value < limit;
}

bool TakeText(const std::string& s, size_t& at, const std::string& text) {
  if (s.compare(at, text.size(), text) != 0) return false;
  at += text.size();
  return true;
}

// The messages of the recorded log lines, each checked for its time prefix.
std::vector<std::string> LoggedMessages() {
  std::vector<std::string> messages;
  for (const LogLine& line : seen.log) {
    const std::string& s = line.text;
    size_t at = 0;
    bool timed = TakeNumber(s, at, 24) && TakeText(s, at, "时") && TakeNumber(s, at, 60) &&
                 TakeText(s, at, "分") && TakeNumber(s, at, 60) && TakeText(s, at, "秒") && TakeText(s, at, "----");
    messages.push_back(timed ? s.substr(at) : "(no time of day) " + s);
  }
  return messages;
}

// True when 时钟1 raises its event within the time; the event is taken from
// the queue without running the tick.
bool TimerTicksWithin(HWND window, DWORD milliseconds) {
  DWORD start = GetTickCount();
  MSG message;
  do {
    if (PeekMessageW(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE)) return true;
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
  return false;
}

// Points the own path (run directory and executable name) elsewhere for one
// scope.
class OwnPathAt {
 public:
  OwnPathAt(const std::wstring& directory, const std::string& name)
      : directory_(RunDirectory), name_(ExecutableName) {
    RunDirectory = ToText(To936(directory));
    ExecutableName = ToText(name);
  }
  ~OwnPathAt() {
    RunDirectory = directory_;
    ExecutableName = name_;
  }

 private:
  Text directory_, name_;
};

// A real main window, as created before its created event, with the error
// box, the shell and ending the own process faked, and the log recorded.
class WatchdogTest : public testing::Test {
 protected:
  WatchdogTest() { seen = Seen(); }

  void SetUp() override {
    window = CreateMainWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(window, nullptr);
    seen.canvas = ControlWindow(window, Control::画板1);
    RemainingSeconds = 0;
  }

  void TearDown() override {
    if (window) DestroyWindow(window);
    MSG message;  // the WM_QUIT of the destroyed window and any ticks left over
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {}
    RemainingSeconds = 0;
  }

  void SetInputs(const char* interval, const char* path = kTarget, const char* processName = kAbsent) {
    SetControlText(window, Control::编辑框_倒计时, interval);
    SetControlText(window, Control::编辑框_路径, path);
    SetControlText(window, Control::编辑框_进程名称, processName);
  }

  std::string Get(Control control) const { return FromText(ControlText(window, control)); }
  void Click() { OnStartStopClicked(window); }
  void Tick() { OnCountdownTick(window); }

  HWND window = nullptr;
  ScopedOverride<decltype(user32.MessageBoxW)> box_{user32.MessageBoxW, FakeMessageBox};
  ScopedOverride<decltype(shell32.ShellExecuteW)> shell_{shell32.ShellExecuteW, FakeShellExecute};
  ScopedOverride<decltype(gdi32.TextOutW)> log_{gdi32.TextOutW, RecordingTextOut};
  ScopedOverride<decltype(kernel32.TerminateProcess)> guard_{kernel32.TerminateProcess, GuardedTerminateProcess};
};

void ExpectOpened(const ShellCall& call, const std::string& path) {
  EXPECT_EQ(call.owner, nullptr);
  EXPECT_EQ(call.verb, L"open");
  EXPECT_EQ(call.file, From936(path)) << "the path goes to the shell unchanged";
  EXPECT_TRUE(call.noParameters);
  EXPECT_EQ(call.directory, L"");
  EXPECT_EQ(call.show, SW_SHOWNORMAL);
}

// --- Reading the interval ----------------------------------------------------

TEST(TextToInteger, FoldsFullWidthFormsAndReadsALeadingDecimalNumber) {
  struct Case {
    const char* input;
    int expected;
  } cases[] = {
      {"30", 30},
      {" 30", 30},
      {"\t\n\v\f\r 30", 30},
      {"30秒", 30},
      {"３０", 30},
      {"　３０", 30},       // after an ideographic space
      {"1０", 10},          // ASCII and full-width digits mixed
      {"＋５", 5},
      {"－５", -5},
      {"-5", -5},
      {"+5", 5},
      {"- 5", 0},
      {"－　５", 0},
      {"3.9", 3},
      {"1e3", 1},
      {"", 0},
      {"abc", 0},
      {"秒30", 0},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MIN},  // wraps in 32 bits
      {"-2147483648", INT_MIN},
      {"4294967297", 1},
      {"7\xA3", 7},             // a lead byte without its trail byte is dropped
      {"\xA3", 0},
      {"5\xA3\xB0", 50},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToInteger(c.input), c.expected) << "input <" << Hex(AsBytes(c.input)) << ">";
  }
}

// --- Start and stop ----------------------------------------------------------

TEST_F(WatchdogTest, UnusableInputsAreRefusedWithAnErrorBoxAndNothingElse) {
  struct Case {
    const char* interval;
    const char* path;
    const char* processName;
    const char* refusal;
  } cases[] = {
      {"0", "", "Fiddler.exe", "倒计时不能小于零!"},  // the form as loaded: the interval is checked first
      {"0", kTarget, kAbsent, "倒计时不能小于零!"},
      {"-5", kTarget, kAbsent, "倒计时不能小于零!"},
      {"abc", kTarget, kAbsent, "倒计时不能小于零!"},
      {"", kTarget, kAbsent, "倒计时不能小于零!"},
      {"2147483648", kTarget, kAbsent, "倒计时不能小于零!"},
      {"5", "", kAbsent, "请指定目标文件!"},
      {"5", "", "", "请指定目标文件!"},
      {"5", kTarget, "", "请填写要结束的进程名称!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "interval \"" << c.interval << "\", path \"" << c.path << "\", name \""
                                    << c.processName << "\"");
    SetInputs(c.interval, c.path, c.processName);
    seen.boxes.clear();
    RemainingSeconds = 77;
    Click();
    ASSERT_EQ(seen.boxes.size(), 1u);
    EXPECT_EQ(seen.boxes[0].text, c.refusal);
    EXPECT_EQ(seen.boxes[0].title, "错误");
    EXPECT_EQ(seen.boxes[0].style, kErrorBoxStyle);
    EXPECT_EQ(seen.boxes[0].owner, nullptr);
    EXPECT_EQ(Get(Control::按钮2), "开始工作");
    EXPECT_EQ(Get(Control::标签_倒计时), "0");
    EXPECT_EQ(RemainingSeconds, 77);
  }
  EXPECT_TRUE(seen.log.empty());
  EXPECT_TRUE(seen.opened.empty());
  EXPECT_FALSE(TimerTicksWithin(window, 1300)) << "a refused click started the timer";
}

TEST_F(WatchdogTest, RefusalWhileWorkingKeepsTheWatchdogWorking) {
  SetInputs("5");
  Click();
  ASSERT_EQ(Get(Control::按钮2), "停止工作");
  const size_t lines = seen.log.size();

  struct Case {
    Control box;
    const char* refusal;
  } cases[] = {{Control::编辑框_倒计时, "倒计时不能小于零!"}, {Control::编辑框_进程名称, "请填写要结束的进程名称!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal);
    Text kept = ControlText(window, c.box);
    SetControlText(window, c.box, "");
    seen.boxes.clear();
    Click();
    ASSERT_EQ(seen.boxes.size(), 1u);
    EXPECT_EQ(seen.boxes[0].text, c.refusal);
    EXPECT_EQ(Get(Control::按钮2), "停止工作");
    EXPECT_TRUE(TimerTicksWithin(window, 2500)) << "the countdown stopped";
    SetControlText(window, c.box, kept);
  }
  EXPECT_EQ(seen.log.size(), lines) << "a refusal is never logged";
  EXPECT_EQ(RemainingSeconds, 5);

  Click();  // usable again: now the click stops
  EXPECT_EQ(Get(Control::按钮2), "开始工作");
}

TEST_F(WatchdogTest, StartWithTheProcessAbsentClearsTheLogAndOpensTheTarget) {
  AppendLog(window, "上一次工作的一行");
  AppendLog(window, "and another");
  seen.log.clear();

  SetInputs("3");
  Click();
  std::vector<std::string> expected = {
      "开始工作...",
      std::string("由于[") + kAbsent + "]进程不存在,将自动运行[" + kTargetName + "]此程序...",
      std::string("正在启动 [") + kTargetName + "] 文件...",
  };
  EXPECT_EQ(LoggedMessages(), expected);
  ASSERT_FALSE(seen.log.empty());
  EXPECT_EQ(seen.log[0].y, 0) << "the start clears the log and writes from the top";
  ASSERT_EQ(seen.opened.size(), 1u);
  ExpectOpened(seen.opened[0], kTarget);

  EXPECT_EQ(Get(Control::按钮2), "停止工作");
  EXPECT_EQ(RemainingSeconds, 3);
  EXPECT_EQ(Get(Control::标签_倒计时), "0") << "the label waits for the first tick";
  EXPECT_TRUE(TimerTicksWithin(window, 2500));
  EXPECT_TRUE(seen.boxes.empty());
}

TEST_F(WatchdogTest, StartWithTheProcessRunningOpensNothing) {
  HelperProcess fiddler(L"Fiddler.exe");
  ASSERT_TRUE(fiddler.started());
  SetInputs("3", kTarget, "fiddler.EXE");
  Click();
  std::vector<std::string> expected = {
      "开始工作...",
      std::string("由于[fiddler.EXE]进程已存在,将不会运行[") + kTargetName + "]此程序...",
  };
  EXPECT_EQ(LoggedMessages(), expected);
  EXPECT_TRUE(seen.opened.empty());
  EXPECT_EQ(Get(Control::按钮2), "停止工作");
  EXPECT_EQ(RemainingSeconds, 3);
  DWORD code;
  EXPECT_FALSE(fiddler.WaitForExit(0, &code)) << "the start ended the process";
}

// The interval box filters only typed keys; pasted texts count by their value,
// and a process name of blanks is a name.
TEST_F(WatchdogTest, StartTakesTheIntervalByItsValue) {
  struct Case {
    const char* interval;
    int seconds;
  } cases[] = {{" 30", 30}, {"３０", 30}, {"　３０秒", 30}, {"4294967297", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval);
    SetInputs(c.interval, kTarget, "   ");
    Click();
    EXPECT_TRUE(seen.boxes.empty());
    EXPECT_EQ(Get(Control::按钮2), "停止工作");
    EXPECT_EQ(RemainingSeconds, c.seconds);
    Click();
    EXPECT_EQ(Get(Control::按钮2), "开始工作");
  }
}

TEST_F(WatchdogTest, StopLogsBelowTheWorkAndResetsButtonTimerAndLabel) {
  SetInputs("3");
  Click();
  Tick();
  ASSERT_EQ(Get(Control::标签_倒计时), "2");
  const size_t lines = seen.log.size();

  Click();
  ASSERT_EQ(seen.log.size(), lines + 1);
  EXPECT_EQ(LoggedMessages().back(), "停止工作...");
  EXPECT_GT(seen.log.back().y, seen.log[lines - 1].y) << "the stop does not clear the log";
  EXPECT_EQ(Get(Control::按钮2), "开始工作");
  EXPECT_EQ(Get(Control::标签_倒计时), "0");
  EXPECT_EQ(RemainingSeconds, 2) << "the count is left for the next start to set";
  EXPECT_EQ(seen.opened.size(), 1u) << "only the start opened the target";
  EXPECT_FALSE(TimerTicksWithin(window, 1500));
}

// --- Countdown and restart cycle ---------------------------------------------

TEST_F(WatchdogTest, CountdownShowsNMinusOneToZeroAndCyclesEveryNPlusOneTicks) {
  struct Case {
    const char* interval;
    int n;
    std::vector<std::string> labels;
  } cases[] = {
      {"3", 3, {"2", "1", "0", "0", "2", "1", "0", "0"}},
      {"1", 1, {"0", "0", "0", "0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "interval " << c.n);
    SetInputs(c.interval);
    Click();
    ASSERT_EQ(Get(Control::按钮2), "停止工作");
    seen.opened.clear();
    std::vector<std::string> labels;
    std::vector<int> cycles;
    for (size_t tick = 1; tick <= c.labels.size(); ++tick) {
      size_t opened = seen.opened.size();
      Tick();
      labels.push_back(Get(Control::标签_倒计时));
      if (seen.opened.size() > opened) cycles.push_back(static_cast<int>(tick));
    }
    EXPECT_EQ(labels, c.labels);
    EXPECT_EQ(cycles, (std::vector<int>{c.n + 1, 2 * c.n + 2}));
    Click();
  }
}

TEST_F(WatchdogTest, ReloadTakesTheIntervalAsItComes) {
  struct Case {
    const char* interval;
    std::vector<std::string> labels;  // after each of four ticks, the first one at zero
    int cycles;
  } cases[] = {
      {"0", {"0", "0", "0", "0"}, 4},  // every tick a cycle
      {"abc", {"0", "0", "0", "0"}, 4},
      {"-5", {"0", "-6", "-7", "-8"}, 1},
      {"2147483648", {"0", "2147483647", "2147483646", "2147483645"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval);
    SetInputs(c.interval);
    SetControlText(window, Control::标签_倒计时, "0");
    RemainingSeconds = 0;
    seen.opened.clear();
    std::vector<std::string> labels;
    for (int tick = 0; tick < 4; ++tick) {
      Tick();
      labels.push_back(Get(Control::标签_倒计时));
    }
    EXPECT_EQ(labels, c.labels);
    EXPECT_EQ(static_cast<int>(seen.opened.size()), c.cycles);
  }
  EXPECT_TRUE(seen.boxes.empty()) << "a tick never shows the error box";
}

TEST_F(WatchdogTest, CycleEndsTheNamedProcessAndOpensTheTargetWhateverTheOutcome) {
  struct Case {
    const wchar_t* running;  // a helper of this name runs, or none
    const char* processName;
    const char* outcome;
  } cases[] = {
      {L"Fiddler.exe", "FIDDLER.exe", "结束进程 [FIDDLER.exe] 成功..."},
      {nullptr, kAbsent, "结束进程 [KeepFreshAbsent.exe] 失败,请查明该进程是否存在..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.processName);
    std::unique_ptr<HelperProcess> helper;
    if (c.running) {
      helper.reset(new HelperProcess(c.running));
      ASSERT_TRUE(helper->started());
    }
    SetInputs("7", kTarget, c.processName);
    RemainingSeconds = 0;
    seen.log.clear();
    seen.opened.clear();
    Tick();
    std::vector<std::string> expected = {
        std::string("正在结束 [") + c.processName + "] 进程...",
        c.outcome,
        std::string("正在启动 [") + kTargetName + "] 文件...",
    };
    EXPECT_EQ(LoggedMessages(), expected);
    ASSERT_EQ(seen.opened.size(), 1u);
    ExpectOpened(seen.opened[0], kTarget);
    EXPECT_EQ(RemainingSeconds, 7);
    EXPECT_EQ(Get(Control::标签_倒计时), "0") << "the cycle's tick does not write the label";
    if (helper) {
      DWORD code = 99;
      EXPECT_TRUE(helper->WaitForExit(5000, &code));
      EXPECT_EQ(code, 0u);
    }
  }
  EXPECT_TRUE(seen.selfEnds.empty());
}

// Only the own path to the byte restarts the watchdog itself; any other
// spelling of it is an ordinary target.
TEST_F(WatchdogTest, CycleRestartsItselfOnlyForTheOwnPathExactly) {
  TempFolder folder;
  ASSERT_TRUE(CopyFileW(BesideTheTests(L"sleeper.exe").c_str(), (folder.path() + L"\\KeepFresh.exe").c_str(), TRUE));
  const std::string directory = To936(folder.path());
  ScopedOverride<decltype(kernel32.CreateProcessW)> start(kernel32.CreateProcessW, RecordingCreateProcess);
  ScopedOverride<decltype(user32.WaitForInputIdle)> idle(user32.WaitForInputIdle, RecordingWaitForInputIdle);

  struct Case {
    const char* executableName;  // as start-up took it
    const char* pathBoxName;     // in the path box, in the same directory
    bool restarts;
    bool exists;
  } cases[] = {
      {"KeepFresh.exe", "KeepFresh.exe", true, true},
      {"Moved.exe", "Moved.exe", true, false},  // the executable is gone: the countdown goes on
      {"KeepFresh.exe", "KEEPFRESH.EXE", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pathBoxName);
    OwnPathAt own(folder.path(), c.executableName);
    const std::string path = directory + "\\" + c.pathBoxName;
    SetInputs("4", path.c_str());
    RemainingSeconds = 0;
    seen.log.clear();
    seen.opened.clear();
    seen.selfEnds.clear();
    seen.starts.clear();
    Tick();
    if (c.restarts) {
      EXPECT_EQ(LoggedMessages(), std::vector<std::string>{std::string("正在重启 [") + c.executableName + "] 文件..."});
      EXPECT_TRUE(seen.opened.empty());
      EXPECT_EQ(seen.starts.size(), c.exists ? 1u : 0u);
      EXPECT_EQ(seen.selfEnds.size(), c.exists ? 1u : 0u);
    } else {
      std::vector<std::string> expected = {
          std::string("正在结束 [") + kAbsent + "] 进程...",
          std::string("结束进程 [") + kAbsent + "] 失败,请查明该进程是否存在...",
          std::string("正在启动 [") + c.pathBoxName + "] 文件...",
      };
      EXPECT_EQ(LoggedMessages(), expected);
      ASSERT_EQ(seen.opened.size(), 1u);
      ExpectOpened(seen.opened[0], path);
      EXPECT_TRUE(seen.starts.empty());
      EXPECT_TRUE(seen.selfEnds.empty());
    }
    EXPECT_EQ(RemainingSeconds, 4);
  }
}

// --- Start-up target ----------------------------------------------------------

TEST_F(WatchdogTest, CreatedEventSuggestsARunningFiddlerOrElseTheOwnExecutable) {
  OnMainWindowCreated(window);
  EXPECT_EQ(From936(Get(Control::编辑框_路径)), ModulePath());

  HelperProcess fiddler(L"FIDDLER.EXE");
  ASSERT_TRUE(fiddler.started());
  OnMainWindowCreated(window);
  EXPECT_EQ(From936(Get(Control::编辑框_路径)), fiddler.path());
  EXPECT_TRUE(seen.log.empty());
  EXPECT_TRUE(seen.boxes.empty());
}

// --- Target file chooser -----------------------------------------------------

TEST_F(WatchdogTest, ChooserPutsTheConfirmedFileInThePathBoxAndOffersItNextTime) {
  ScopedOverride<decltype(comdlg32.GetOpenFileNameW)> dialog(comdlg32.GetOpenFileNameW, FakeOpenDialog);
  const std::wstring first = L"C:\\工具\\新 目标.exe";
  const std::wstring second = L"D:\\Other\\second.exe";
  SetControlText(window, Control::编辑框_路径, "Z:\\found\\at start-up.exe");
  RemainingSeconds = 2;  // a working countdown is not disturbed

  struct Step {
    std::wstring answer;  // empty: cancel
    std::wstring offered;
    std::string box, fileName;
  } steps[] = {
      {L"", L"", "Z:\\found\\at start-up.exe", ""},
      {first, L"", To936(first), To936(first)},
      {second, first, To936(second), To936(second)},
      {L"", second, To936(second), To936(second)},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "step " << (&s - steps));
    seen.dialogAnswer = s.answer;
    seen.dialogs.clear();
    OnChooseFileClicked(window);
    ASSERT_EQ(seen.dialogs.size(), 1u);
    EXPECT_EQ(seen.dialogs[0].initialFile, s.offered);
    EXPECT_EQ(Get(Control::编辑框_路径), s.box);
    EXPECT_EQ(FromText(DialogFileName(window)), s.fileName);
  }

  const DialogCall& call = seen.dialogs[0];
  EXPECT_EQ(call.size, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400W));
  if (sizeof(void*) == 4) {
    EXPECT_EQ(call.size, 76u);
  }
  EXPECT_EQ(call.flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                                           OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLESIZING));
  EXPECT_EQ(call.maxFile, static_cast<DWORD>(MAX_PATH));
  EXPECT_TRUE(call.hasFileTitleBuffer);
  EXPECT_EQ(call.maxFileTitle, 64u);
  EXPECT_TRUE(call.noFilter && call.noTitle && call.noInitialDirectory && call.noDefaultExtension);
  EXPECT_TRUE(seen.log.empty());
  EXPECT_EQ(RemainingSeconds, 2);
}

// --- Self-restart -------------------------------------------------------------

TEST(RestartBatch, IsTheTemplateWithThePathAndTheDelay) {
  const std::string golden = Golden();
  // 78 bytes of template less its two placeholders, one digit, a 25-byte path:
  // anything else means the golden file itself was mangled (line ends, a BOM).
  ASSERT_EQ(golden.size(), 78u - 12 + 1 + 25) << golden;
  EXPECT_EQ(RestartBatchText(kGoldenPath), ToText(golden));

  // The delay is put in after the path, and only once.
  const char withPlaceholder[] = "C:\\秒数\\秒数 2.exe";
  EXPECT_EQ(RestartBatchText(withPlaceholder), ToText(GoldenFor(withPlaceholder)));
}

// A run directory with a blank and Chinese characters, holding a harmless
// copy of the sleeper as the own executable; ending the own process is faked.
class RestartSelfTest : public testing::Test {
 protected:
  RestartSelfTest() { seen = Seen(); }

  void SetUp() override {
    runDirectory = folder.path() + L"\\Run Dir 运行";
    executable = runDirectory + L"\\Again.exe";
    ASSERT_TRUE(CreateDirectoryW(runDirectory.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(BesideTheTests(L"sleeper.exe").c_str(), executable.c_str(), TRUE));
    own.reset(new OwnPathAt(runDirectory, "Again.exe"));
    wchar_t current[MAX_PATH];
    currentDirectory.assign(current, GetCurrentDirectoryW(MAX_PATH, current));
  }

  // Out of the folder before it is deleted.
  void TearDown() override { SetCurrentDirectoryW(currentDirectory.c_str()); }

  std::string Batch() const { return FileBytes(runDirectory + L"\\Restart.bat"); }

  TempFolder folder;
  std::wstring runDirectory, executable, currentDirectory;
  std::unique_ptr<OwnPathAt> own;
  ScopedOverride<decltype(kernel32.TerminateProcess)> guard_{kernel32.TerminateProcess, GuardedTerminateProcess};
};

TEST_F(RestartSelfTest, WithTheExecutableGoneNothingHappens) {
  ScopedOverride<decltype(kernel32.CreateProcessW)> start(kernel32.CreateProcessW, RecordingCreateProcess);
  OwnPathAt moved(runDirectory, "Gone.exe");
  RestartSelf();
  EXPECT_EQ(Batch(), "(missing)");
  EXPECT_TRUE(seen.starts.empty());
  EXPECT_TRUE(seen.selfEnds.empty());
}

TEST_F(RestartSelfTest, WritesTheBatchStartsItHiddenInTheRunDirectoryAndEnds) {
  ScopedOverride<decltype(kernel32.CreateProcessW)> start(kernel32.CreateProcessW, RecordingCreateProcess);
  ScopedOverride<decltype(user32.WaitForInputIdle)> idle(user32.WaitForInputIdle, RecordingWaitForInputIdle);
  const std::wstring shortPath = ShortPath(executable);
  ASSERT_FALSE(shortPath.empty());
  ASSERT_NE(shortPath, executable) << "the run directory should have a short form";
  {
    FILE* older = _wfopen((runDirectory + L"\\Restart.bat").c_str(), L"wb");
    ASSERT_NE(older, nullptr);
    fputs(std::string(300, 'x').c_str(), older);  // longer than the new batch
    fclose(older);
  }
  SetCurrentDirectoryW(folder.path().c_str());  // the batch must not depend on it
  const int handles = OpenHandleCount();

  RestartSelf();
  EXPECT_EQ(SettledHandleCount(handles), handles) << "a handle of the search, the file or the new process is left open";
  EXPECT_EQ(Batch(), GoldenFor(To936(shortPath)));
  ASSERT_EQ(seen.starts.size(), 1u);
  const StartCall& call = seen.starts[0];
  EXPECT_TRUE(call.noApplication);
  EXPECT_EQ(call.commandLine, L"\"" + runDirectory + L"\\Restart.bat\"");
  EXPECT_FALSE(call.inherit);
  EXPECT_EQ(call.flags, 0u);
  EXPECT_TRUE(call.ownEnvironment);
  EXPECT_EQ(call.directory, runDirectory);
  EXPECT_TRUE(call.startFlags & STARTF_USESHOWWINDOW);
  EXPECT_EQ(call.show, SW_HIDE);
  EXPECT_EQ(seen.idleWaits, std::vector<DWORD>{1000});
  EXPECT_TRUE(Closed(call.process) && Closed(call.thread)) << "the new process's handles are left open";
  EXPECT_EQ(seen.selfEnds, std::vector<UINT>{0});
}

TEST_F(RestartSelfTest, WithoutAShortPathTheBatchStartsTheLongPath) {
  ScopedOverride<decltype(kernel32.CreateProcessW)> start(kernel32.CreateProcessW, RecordingCreateProcess);
  ScopedOverride<decltype(kernel32.GetShortPathNameW)> noShort(kernel32.GetShortPathNameW, NoShortPath);
  RestartSelf();
  EXPECT_EQ(Batch(), GoldenFor(To936(executable)));
  EXPECT_EQ(seen.selfEnds.size(), 1u);
}

// With no restart on its way the process must not end: the countdown goes on
// and the next cycle tries again.
TEST_F(RestartSelfTest, FailingToWriteOrStartTheBatchKeepsTheProcessAlive) {
  ScopedOverride<decltype(kernel32.CreateProcessW)> start(kernel32.CreateProcessW, RecordingCreateProcess);
  enum class Failure { Create, Write, Start };
  for (Failure failure : {Failure::Create, Failure::Write, Failure::Start}) {
    SCOPED_TRACE(testing::Message() << "failure " << static_cast<int>(failure));
    seen.starts.clear();
    seen.selfEnds.clear();
    seen.startSucceeds = failure != Failure::Start;
    std::unique_ptr<ScopedOverride<decltype(kernel32.CreateFileW)>> create;
    std::unique_ptr<ScopedOverride<decltype(kernel32.WriteFile)>> write;
    if (failure == Failure::Create)
      create.reset(new ScopedOverride<decltype(kernel32.CreateFileW)>(kernel32.CreateFileW, FailingCreateFile));
    if (failure == Failure::Write)
      write.reset(new ScopedOverride<decltype(kernel32.WriteFile)>(kernel32.WriteFile, FailingWriteFile));
    const int handles = OpenHandleCount();

    RestartSelf();
    EXPECT_EQ(seen.starts.size(), failure == Failure::Start ? 1u : 0u);
    EXPECT_TRUE(seen.selfEnds.empty());
    EXPECT_EQ(SettledHandleCount(handles), handles);
  }
}

// Ends the first process of that name, for tests that start programs they
// hold no handle to.
void EndProcessNamed(const char* name) {
  DWORD id = FindProcessId(name);
  HANDLE process = id ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id) : nullptr;
  if (!process) return;
  TerminateProcess(process, 1);
  WaitForSingleObject(process, 10000);
  CloseHandle(process);
}

// The real batch under the system's command interpreter: it must start the
// program again from the run directory's short path and delete itself there,
// though the run directory is not the current directory and has a blank, and
// a program named like the part before the blank lies in wait.
TEST_F(RestartSelfTest, RealBatchStartsTheProgramAgainAndDeletesItself) {
  ASSERT_TRUE(CopyFileW(BesideTheTests(L"sleeper.exe").c_str(), (folder.path() + L"\\Run.exe").c_str(), TRUE));
  SetCurrentDirectoryW(folder.path().c_str());
  RestartSelf();
  EXPECT_EQ(seen.selfEnds, std::vector<UINT>{0});

  bool again = false, deleted = false;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 20000 && !(again && deleted); Sleep(100)) {
    again = again || FindProcessId("Again.exe") != 0;
    deleted = GetFileAttributesW((runDirectory + L"\\Restart.bat").c_str()) == INVALID_FILE_ATTRIBUTES;
  }
  EXPECT_FALSE(FindProcessId("Run.exe")) << "the command line started another program";
  EndProcessNamed("Again.exe");
  EndProcessNamed("Run.exe");
  // What the batch started holds the run directory, its current one, for a
  // moment after it ends.
  DeleteFileW(executable.c_str());
  for (DWORD start = GetTickCount(); !RemoveDirectoryW(runDirectory.c_str()) && GetTickCount() - start < 10000;)
    Sleep(100);
  EXPECT_TRUE(again) << "the batch did not start the program again";
  EXPECT_TRUE(deleted) << "the batch did not delete itself";
}

}  // namespace

// --- Faults of the platform --------------------------------------------------

HANDLE WINAPI FailingSnapshot(DWORD, DWORD) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return INVALID_HANDLE_VALUE;
}
BOOL WINAPI FailingProcessStep(HANDLE, LPPROCESSENTRY32) {
  SetLastError(ERROR_NO_MORE_FILES);
  return FALSE;
}
HANDLE WINAPI FailingOpenProcess(DWORD, BOOL, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}
// Fails for every process, this one included; attempts on this one are seen.
BOOL WINAPI FailingTerminateProcess(HANDLE process, UINT exitCode) {
  if (GetProcessId(process) == GetCurrentProcessId()) seen.selfEnds.push_back(exitCode);
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
DWORD WINAPI FailingImageFileName(HANDLE, LPWSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return 0;
}
DWORD WINAPI FailingQueryDosDevice(LPCWSTR, LPWSTR, DWORD) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return 0;
}
int WINAPI FailingMultiByteToWideChar(UINT, DWORD, LPCCH, int, LPWSTR, int) {
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return 0;
}
int WINAPI FailingWideCharToMultiByte(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL) {
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return 0;
}
HANDLE WINAPI FailingFindFirstFile(LPCWSTR, LPWIN32_FIND_DATAW) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}
HINSTANCE WINAPI FailingShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                     INT show) {
  FakeShellExecute(owner, verb, file, parameters, directory, show);
  return reinterpret_cast<HINSTANCE>(SE_ERR_FNF);
}

const char kStarted[] = "开始工作...";
const char kRuns[] = "由于[Fiddler.exe]进程已存在,将不会运行[应用.exe]此程序...";
const char kDoesNotRun[] = "由于[Fiddler.exe]进程不存在,将自动运行[应用.exe]此程序...";
const char kOpening[] = "正在启动 [应用.exe] 文件...";
const char kEnding[] = "正在结束 [Fiddler.exe] 进程...";
const char kEnded[] = "结束进程 [Fiddler.exe] 成功...";
const char kNotEnded[] = "结束进程 [Fiddler.exe] 失败,请查明该进程是否存在...";
const char kRestarting[] = "正在重启 [Again.exe] 文件...";
const char kNoName[] = "正在结束 [] 进程...";
const char kNoNameNotEnded[] = "结束进程 [] 失败,请查明该进程是否存在...";
const char kNoFileOpening[] = "正在启动 [] 文件...";

enum class Suggested { Helper, Own, Empty };
enum class BatchPath { Short, Long, Empty, None };

// What one working session showed with a platform call failing throughout.
struct Outcome {
  Suggested suggested;
  std::vector<std::string> log;
  size_t opened;        // calls of the shell
  std::string refusal;  // the error box's text, if one was shown
  BatchPath batch;
  size_t batchStarts;
  size_t selfEnds;      // attempts to end the process for a restart
  bool chosen;          // the chosen file reached the path box
  bool helperEnded;
};

// Each row makes one platform call fail from start-up to the last click.
struct FaultRow {
  const char* call;
  void (*withFault)(void (*session)());
  Outcome expected;
};

// Runs the session with table.name swapped for fake.
#define FAILING(table, name, fake)                                  \
  [](void (*session)()) {                                           \
    ScopedOverride<decltype(table.name)> fault(table.name, fake);   \
    session();                                                      \
  }

class FaultTest : public RestartSelfTest {
 protected:
  // A whole working session: start-up, a start and a cycle with a real
  // Fiddler.exe, a self-restart, and a file chosen. Inputs go in and results
  // come out through the wide window calls, as a user would see them.
  static void Session() {
    FaultTest& t = *current;
    HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(window, nullptr);
    seen.canvas = ControlWindow(window, Control::画板1);
    auto set = [window](Control c, const std::string& text) {
      SetWindowTextW(ControlWindow(window, c), From936(text).c_str());
    };
    auto get = [window](Control c) {
      wchar_t text[MAX_PATH * 2] = {};
      GetWindowTextW(ControlWindow(window, c), text, MAX_PATH * 2);
      return To936(text);
    };
    RemainingSeconds = 0;

    OnMainWindowCreated(window);
    t.suggested = get(Control::编辑框_路径);
    set(Control::编辑框_倒计时, "1");
    set(Control::编辑框_路径, kTarget);
    set(Control::编辑框_进程名称, "Fiddler.exe");
    OnStartStopClicked(window);
    OnCountdownTick(window);
    OnCountdownTick(window);  // the cycle
    set(Control::编辑框_路径, To936(t.executable));
    RemainingSeconds = 0;
    OnCountdownTick(window);  // restarts itself
    seen.dialogAnswer = L"C:\\Chosen\\选中.exe";
    OnChooseFileClicked(window);
    t.chosen = get(Control::编辑框_路径);

    DestroyWindow(window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {}
    RemainingSeconds = 0;
  }

  static FaultTest* current;
  std::string suggested, chosen;
  ScopedOverride<decltype(kernel32.CreateProcessW)> start_{kernel32.CreateProcessW, RecordingCreateProcess};
  ScopedOverride<decltype(user32.MessageBoxW)> box_{user32.MessageBoxW, FakeMessageBox};
  ScopedOverride<decltype(shell32.ShellExecuteW)> shell_{shell32.ShellExecuteW, FakeShellExecute};
  ScopedOverride<decltype(gdi32.TextOutW)> log_{gdi32.TextOutW, RecordingTextOut};
  ScopedOverride<decltype(comdlg32.GetOpenFileNameW)> dialog_{comdlg32.GetOpenFileNameW, FakeOpenDialog};
  ScopedOverride<decltype(user32.WaitForInputIdle)> idle_{user32.WaitForInputIdle, RecordingWaitForInputIdle};
};

FaultTest* FaultTest::current;

BOOL WINAPI FailingOpenDialog(LPOPENFILENAMEW) { return FALSE; }

TEST_F(FaultTest, EachFailingPlatformCallGivesItsDocumentedOutcome) {
  const std::vector<std::string> working = {kStarted, kRuns, kEnding, kEnded, kOpening, kRestarting};
  const std::vector<std::string> notFound = {kStarted, kDoesNotRun, kOpening, kEnding, kNotEnded, kOpening, kRestarting};
  const std::vector<std::string> notEnded = {kStarted, kRuns, kEnding, kNotEnded, kOpening, kRestarting};
  // Every tick a cycle, on an empty process name and target.
  const std::vector<std::string> unreadable = {kNoName, kNoNameNotEnded, kNoFileOpening, kNoName, kNoNameNotEnded,
                                               kNoFileOpening, kNoName, kNoNameNotEnded, kNoFileOpening};
  using S = Suggested;
  using B = BatchPath;
  const FaultRow rows[] = {
      {"none", [](void (*session)()) { session(); }, {S::Helper, working, 1, "", B::Short, 1, 1, true, true}},
      {"CreateToolhelp32Snapshot", FAILING(kernel32, CreateToolhelp32Snapshot, FailingSnapshot),
       {S::Own, notFound, 2, "", B::Short, 1, 1, true, false}},
      {"Process32First", FAILING(kernel32, Process32First, FailingProcessStep),
       {S::Own, notFound, 2, "", B::Short, 1, 1, true, false}},
      {"Process32Next", FAILING(kernel32, Process32Next, FailingProcessStep),
       {S::Own, notFound, 2, "", B::Short, 1, 1, true, false}},
      {"OpenProcess", FAILING(kernel32, OpenProcess, FailingOpenProcess),
       {S::Empty, notEnded, 1, "", B::Short, 1, 1, true, false}},
      {"TerminateProcess", FAILING(kernel32, TerminateProcess, FailingTerminateProcess),
       {S::Helper, notEnded, 1, "", B::Short, 1, 1, true, false}},
      {"GetProcessImageFileNameW", FAILING(psapi, GetProcessImageFileNameW, FailingImageFileName),
       {S::Empty, working, 1, "", B::Short, 1, 1, true, true}},
      {"QueryDosDeviceW", FAILING(kernel32, QueryDosDeviceW, FailingQueryDosDevice),
       {S::Empty, working, 1, "", B::Short, 1, 1, true, true}},
      // Without conversions nothing can be shown or named: the log stays
      // blank and the restart finds no executable, but the process is
      // still found and ended by its unconverted name.
      {"MultiByteToWideChar", FAILING(kernel32, MultiByteToWideChar, FailingMultiByteToWideChar),
       {S::Empty, {}, 1, "", B::None, 0, 0, false, true}},
      // Nothing typed can be read: the start is refused, and the cycles run
      // on an empty process name and target.
      {"WideCharToMultiByte", FAILING(kernel32, WideCharToMultiByte, FailingWideCharToMultiByte),
       {S::Empty, unreadable, 3, "倒计时不能小于零!", B::None, 0, 0, false, false}},
      {"GetShortPathNameW", FAILING(kernel32, GetShortPathNameW, NoShortPath),
       {S::Helper, working, 1, "", B::Long, 1, 1, true, true}},
      {"FindFirstFileW", FAILING(kernel32, FindFirstFileW, FailingFindFirstFile),
       {S::Helper, working, 1, "", B::None, 0, 0, true, true}},
      {"CreateFileW", FAILING(kernel32, CreateFileW, FailingCreateFile),
       {S::Helper, working, 1, "", B::None, 0, 0, true, true}},
      // The file was created before the write failed; it is never started.
      {"WriteFile", FAILING(kernel32, WriteFile, FailingWriteFile),
       {S::Helper, working, 1, "", B::Empty, 0, 0, true, true}},
      {"CreateProcessW", [](void (*session)()) {
         seen.startSucceeds = false;
         session();
       },
       {S::Helper, working, 1, "", B::Short, 1, 0, true, true}},
      {"ShellExecuteW", FAILING(shell32, ShellExecuteW, FailingShellExecute),
       {S::Helper, working, 1, "", B::Short, 1, 1, true, true}},
      {"GetOpenFileNameW", FAILING(comdlg32, GetOpenFileNameW, FailingOpenDialog),
       {S::Helper, working, 1, "", B::Short, 1, 1, false, true}},
  };
  current = this;
  OpenHandleCount();  // after GoogleTest's first SCOPED_TRACE handle, below
  for (const FaultRow& row : rows) {
    SCOPED_TRACE(row.call);
    seen = Seen();
    DeleteFileW((runDirectory + L"\\Restart.bat").c_str());
    HelperProcess fiddler(L"Fiddler.exe");
    ASSERT_TRUE(fiddler.started());
    const int handles = OpenHandleCount();

    row.withFault(Session);

    const Outcome& e = row.expected;
    const std::string helperPath = To936(fiddler.path());
    EXPECT_EQ(suggested, e.suggested == S::Helper ? helperPath
                         : e.suggested == S::Own  ? To936(ModulePath())
                                                  : "");
    EXPECT_EQ(LoggedMessages(), e.log);
    EXPECT_EQ(seen.opened.size(), e.opened);
    if (e.refusal[0]) {
      ASSERT_EQ(seen.boxes.size(), 1u);
      EXPECT_EQ(seen.boxes[0].text, e.refusal);
    } else {
      EXPECT_TRUE(seen.boxes.empty()) << "an error box where none belongs";
    }
    const std::string batch = Batch();
    EXPECT_EQ(batch, e.batch == B::Short   ? GoldenFor(To936(ShortPath(executable)))
                     : e.batch == B::Long  ? GoldenFor(To936(executable))
                     : e.batch == B::Empty ? ""
                                           : "(missing)");
    EXPECT_EQ(seen.starts.size(), e.batchStarts);
    EXPECT_EQ(seen.selfEnds.size(), e.selfEnds);
    EXPECT_EQ(chosen == "C:\\Chosen\\选中.exe", e.chosen) << chosen;
    DWORD exitCode = 0;
    EXPECT_EQ(fiddler.WaitForExit(0, &exitCode), e.helperEnded);
    EXPECT_EQ(SettledHandleCount(handles), handles) << "a handle was left open";
  }
}

// --- Running for days --------------------------------------------------------

struct Footprint {
  int handles;
  DWORD gdiObjects, userObjects;  // 0 under Wine, whose counters are stubs
  std::string kinds;              // what the handles are, for the message
  bool operator==(const Footprint& o) const {
    return handles == o.handles && gdiObjects == o.gdiObjects && userObjects == o.userObjects;
  }
};

std::ostream& operator<<(std::ostream& out, const Footprint& f) {
  return out << f.handles << " handles (" << f.kinds << "), " << f.gdiObjects << " GDI and " << f.userObjects
             << " USER objects";
}

Footprint FootprintNow() {
  return {OpenHandleCount(), GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
          GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), OpenHandleKinds()};
}

// The footprint once the handle count is back at expected's, or after two
// seconds; the GUI counters never move under Wine.
Footprint SettledFootprint(const Footprint& expected) {
  SettledHandleCount(expected.handles);
  return FootprintNow();
}

// Every cycle ends the real Fiddler.exe and the real shell starts it again
// from its path; what the process holds must not grow cycle by cycle. Wine's
// own libraries may open something once, at a moment of their choosing, and
// keep it: that shows in one stretch of cycles, a leak in every one.
TEST_F(WatchdogTest, ThreeHundredRestartCyclesLeaveNothingBehind) {
  ScopedOverride<decltype(shell32.ShellExecuteW)> realShell(shell32.ShellExecuteW, shell_.real());
  HelperProcess first(L"Fiddler.exe");
  ASSERT_TRUE(first.started());
  SetInputs("0", To936(first.path()).c_str(), "Fiddler.exe");  // an interval of 0: every tick a cycle
  auto cycle = [this] {
    Tick();
    // The shell has started the new one by the time it returns.
    return FindProcessId("Fiddler.exe") != 0;
  };
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(cycle());  // the shell's first use loads what it keeps
  std::vector<Footprint> marks{FootprintNow()};
  size_t failures = 0;
  for (int stretch = 0; stretch < 3; ++stretch) {
    for (int i = 0; i < 100; ++i) {
      seen.log.clear();
      ASSERT_TRUE(cycle()) << "cycle " << i << " of stretch " << stretch;
      failures += LoggedMessages()[1] != "结束进程 [Fiddler.exe] 成功...";
    }
    marks.push_back(SettledFootprint(marks.back()));
  }
  EXPECT_EQ(failures, 0u);
  std::ostringstream told;
  int changed = 0;
  for (size_t i = 1; i < marks.size(); ++i) {
    changed += !(marks[i] == marks[i - 1]);
    told << "\n  after " << 100 * i << " cycles: " << marks[i];
  }
  EXPECT_LE(changed, 1) << "at the start: " << marks[0] << told.str();
  EndProcessNamed("Fiddler.exe");
}

// The log is a picture of fixed size: lines cost nothing once drawn.
TEST_F(WatchdogTest, TenThousandLogLinesLeaveNothingBehind) {
  for (int i = 0; i < 10; ++i) AppendLog(window, "第一行");
  const Footprint before = FootprintNow();
  for (int i = 0; i < 10000; ++i) AppendLog(window, "正在结束 [Fiddler.exe] 进程...");
  EXPECT_EQ(SettledFootprint(before), before);
}
