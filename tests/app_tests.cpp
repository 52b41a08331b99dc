// The main window and the activity log, on the real window under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/activity_log.h"
#include "app/controls.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "platform/bindings.h"
#include "platform/override.h"
#include "watchdog/watchdog.h"

namespace {

constexpr int kCanvasClientWidth = 478;
constexpr int kCanvasClientHeight = 207;

// A loaded main window, destroyed at the end of the test.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    window = LoadMainWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(window, nullptr);
    Pump();
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {}  // drop the WM_QUIT of the destroyed window
    RemainingSeconds = 0;
  }

  static void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }

  HWND Child(Control c) const { return ControlWindow(window, c); }

  std::wstring WideText(Control c) const {
    wchar_t text[512] = {};
    GetWindowTextW(Child(c), text, 512);
    return text;
  }

  CanvasState& Canvas() const { return *CanvasOf(Child(Control::画板1)); }

  HWND window = nullptr;
};

RECT ClientRectOf(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// --- Window and controls --------------------------------------------------

TEST_F(MainWindowTest, WindowIsCentredFixedAndUntitled) {
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, 503);
  EXPECT_EQ(r.bottom - r.top, 337);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 503) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 337) / 2);
  EXPECT_EQ(GetWindowTextLengthW(window), 0);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);

  LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_CLIPCHILDREN);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetClassLongPtrW(window, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
}

TEST_F(MainWindowTest, IconComesFromTheDefaultIconGroup) {
  EXPECT_NE(GetClassLongPtrW(window, GCLP_HICON), 0u);
  EXPECT_NE(GetClassLongPtrW(window, GCLP_HICONSM), 0u);
  HRSRC group = FindResourceW(nullptr, L"DEFAULT_ICON", reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
  ASSERT_NE(group, nullptr);
  // The group holds at least a 16x16 and a 32x32 image.
  const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
  int count = dir[4] | dir[5] << 8;
  bool has16 = false, has32 = false;
  for (int i = 0; i < count; ++i) {
    has16 |= dir[6 + 14 * i] == 16;
    has32 |= dir[6 + 14 * i] == 32;
  }
  EXPECT_TRUE(has16 && has32);
}

struct ControlRow {
  Control control;
  const wchar_t* className;
  RECT rect;  // in the main window's client area
  const wchar_t* text;
  DWORD styles;  // that must be set
};

TEST_F(MainWindowTest, ControlsHaveTheirPlacesTextsAndStackingOrder) {
  const DWORD edit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
  const DWORD button = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_CENTER | BS_VCENTER | BS_MULTILINE;
  const DWORD label = WS_CHILD | WS_VISIBLE;
  const ControlRow rows[] = {
      {Control::标签5, kLabelClass, {271, 56, 335, 80}, L"进程名称：", label},
      {Control::编辑框_进程名称, L"Edit", {336, 57, 405, 77}, L"Fiddler.exe", edit},
      {Control::通用对话框1, nullptr, {}, nullptr, 0},
      {Control::时钟1, nullptr, {}, nullptr, 0},
      {Control::按钮2, L"Button", {424, 52, 486, 81}, L"开始工作", button},
      {Control::标签6, kLabelClass, {248, 56, 263, 80}, L"秒", label},
      {Control::标签_倒计时, kLabelClass, {194, 55, 242, 79}, L"0", label | WS_BORDER},
      {Control::标签4, kLabelClass, {143, 55, 191, 79}, L"倒计时：", label},
      {Control::标签3, kLabelClass, {126, 55, 141, 79}, L"秒", label},
      {Control::编辑框_倒计时, L"Edit", {72, 56, 120, 76}, L"0", edit},
      {Control::标签2, kLabelClass, {12, 56, 70, 80}, L"重启频率：", label},
      {Control::标签1, kLabelClass, {12, 18, 70, 42}, L"目标文件：", label},
      {Control::编辑框_路径, L"Edit", {72, 19, 405, 39}, nullptr, edit | ES_READONLY},
      {Control::按钮1, L"Button", {424, 15, 486, 44}, L"选择文件", button},
      {Control::画板1, kCanvasClass, {8, 88, 488, 297}, nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER},
  };
  HWND stacked = GetWindow(window, GW_CHILD);
  for (const ControlRow& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.control));
    HWND c = Child(row.control);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(stacked, c) << "stacking order";
    stacked = GetWindow(stacked, GW_HWNDNEXT);
    if (!row.className) {
      EXPECT_FALSE(IsWindowVisible(c));
      continue;
    }
    wchar_t className[64];
    GetClassNameW(c, className, 64);
    EXPECT_STREQ(className, row.className);
    RECT r = ClientRectOf(window, c);
    EXPECT_EQ(r.left, row.rect.left);
    EXPECT_EQ(r.top, row.rect.top);
    EXPECT_EQ(r.right, row.rect.right);
    EXPECT_EQ(r.bottom, row.rect.bottom);
    DWORD style = GetWindowLongW(c, GWL_STYLE);
    EXPECT_EQ(style & row.styles, row.styles);
    if (row.text) {
      EXPECT_EQ(WideText(row.control), row.text);
    }
    if (row.control != Control::画板1) {  // the log has a font of its own, made from this one
      EXPECT_EQ(SendMessageW(c, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
    }
  }
  EXPECT_FALSE(GetWindowLongW(Child(Control::按钮1), GWL_STYLE) & BS_DEFPUSHBUTTON);
  EXPECT_FALSE(GetWindowLongW(Child(Control::按钮2), GWL_STYLE) & BS_DEFPUSHBUTTON);
  EXPECT_TRUE(GetWindowLongW(Child(Control::编辑框_路径), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  RECT client;
  GetClientRect(Child(Control::画板1), &client);
  EXPECT_EQ(client.right, kCanvasClientWidth);
  EXPECT_EQ(client.bottom, kCanvasClientHeight);
  EXPECT_EQ(CanvasWidth(window), 480);
  EXPECT_EQ(CanvasHeight(window), 209);
}

TEST_F(MainWindowTest, PropertiesAreReadAndWrittenByControlName) {
  EXPECT_EQ(ControlText(window, Control::按钮2), Text("开始工作"));
  SetControlText(window, Control::标签_倒计时, "-7");
  EXPECT_EQ(ControlText(window, Control::标签_倒计时), Text("-7"));
  SetControlText(window, Control::编辑框_进程名称, "记事本.exe");
  EXPECT_EQ(WideText(Control::编辑框_进程名称), L"记事本.exe");
  EXPECT_EQ(ControlText(window, Control::编辑框_进程名称), Text("记事本.exe"));
  EXPECT_EQ(DialogFileName(window), Text());
}

void Type(HWND edit, const wchar_t* keys) {
  for (const wchar_t* k = keys; *k; ++k) SendMessageW(edit, WM_CHAR, *k, 1);
}

void Paste(HWND edit, const wchar_t* text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  memcpy(GlobalLock(memory), text, bytes);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
  SendMessageW(edit, WM_PASTE, 0, 0);
}

TEST_F(MainWindowTest, IntervalBoxTakesOnlyDigitsAndMinusFromTheKeyboard) {
  HWND edit = Child(Control::编辑框_倒计时);
  SetWindowTextW(edit, L"");
  Type(edit, L"1a.2-x 3３+");
  EXPECT_EQ(WideText(Control::编辑框_倒计时), L"12-3");
  Type(edit, L"\b");  // Backspace still edits
  EXPECT_EQ(WideText(Control::编辑框_倒计时), L"12-");
  SetWindowTextW(edit, L"");
  Paste(edit, L"abc");
  EXPECT_EQ(WideText(Control::编辑框_倒计时), L"abc");
}

TEST_F(MainWindowTest, PathBoxCannotBeTypedIntoButTakesItsText) {
  HWND edit = Child(Control::编辑框_路径);
  SetControlText(window, Control::编辑框_路径, "C:\\目标\\app.exe");
  Type(edit, L"xyz");
  SendMessageW(edit, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(WideText(Control::编辑框_路径), L"C:\\目标\\app.exe");
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_COPY, 0, 0);  // still selectable and copyable
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
  if (data) GlobalUnlock(data);
  CloseClipboard();
  EXPECT_EQ(copied, L"C:\\目标\\app.exe");
}

TEST_F(MainWindowTest, TabMovesThroughTheControlsInReadingOrder) {
  const Control order[] = {Control::编辑框_路径, Control::按钮1, Control::编辑框_倒计时, Control::编辑框_进程名称,
                           Control::按钮2};
  EXPECT_EQ(GetFocus(), Child(Control::编辑框_倒计时)) << "the interval is what a user types first";
  for (int i = 0; i < 5; ++i) {
    MSG tab = {Child(order[i]), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    ASSERT_TRUE(HandleTabKey(tab));
    EXPECT_EQ(GetFocus(), Child(order[(i + 1) % 5])) << i;
  }
  MSG other = {Child(Control::编辑框_路径), WM_KEYDOWN, 'A', 0, 0, {}};
  EXPECT_FALSE(HandleTabKey(other));
}

TEST_F(MainWindowTest, CreatedEventHasRunBeforeTheWindowIsFirstShown) {
  // The path box is filled by the created event (our own path, as no
  // Fiddler.exe runs here) and must be in place at the first show.
  DestroyWindow(window);
  Pump();
  static bool visibleDuringEvent;
  static ScopedOverride<decltype(kernel32.CreateToolhelp32Snapshot)>* snapshot;
  struct Spy {
    static HANDLE WINAPI Snapshot(DWORD flags, DWORD id) {
      HWND w = FindWindowW(L"KeepFreshMainWindow", nullptr);
      visibleDuringEvent = w && IsWindowVisible(w);
      return snapshot->real()(flags, id);
    }
  };
  visibleDuringEvent = true;
  ScopedOverride<decltype(kernel32.CreateToolhelp32Snapshot)> spy(kernel32.CreateToolhelp32Snapshot, Spy::Snapshot);
  snapshot = &spy;
  window = LoadMainWindow(GetModuleHandleW(nullptr));
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(visibleDuringEvent);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(ControlText(window, Control::编辑框_路径).empty());
}

TEST_F(MainWindowTest, ClosingEndsTheMessageLoop) {
  SetTimerPeriod(window, 1000);
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 0u);
}

// --- Timer ----------------------------------------------------------------

// Ticks of 时钟1 seen within the given time, with the times they came at.
std::vector<DWORD> TicksWithin(HWND window, DWORD milliseconds, void (*at)(HWND, DWORD) = nullptr) {
  std::vector<DWORD> ticks;
  DWORD start = GetTickCount();
  RemainingSeconds = 1000000;  // each tick only counts down
  int last = RemainingSeconds;
  while (GetTickCount() - start < milliseconds) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    if (at) at(window, GetTickCount() - start);
    if (RemainingSeconds != last) ticks.push_back(GetTickCount() - start);
    last = RemainingSeconds;
    Sleep(5);
  }
  return ticks;
}

TEST_F(MainWindowTest, TimerPeriodRule) {
  // Rewriting the running period does not shift the schedule.
  SetTimerPeriod(window, 400);
  auto ticks = TicksWithin(window, 650, [](HWND w, DWORD t) {
    if (t >= 250) SetTimerPeriod(w, 400);
  });
  ASSERT_GE(ticks.size(), 1u);
  EXPECT_LT(ticks[0], 600u) << "the rewrite restarted the timer";

  SetTimerPeriod(window, 0);
  EXPECT_TRUE(TicksWithin(window, 600).empty());

  SetTimerPeriod(window, -5);  // counts as 0
  EXPECT_TRUE(TicksWithin(window, 600).empty());

  SetTimerPeriod(window, 300);
  ticks = TicksWithin(window, 500);
  ASSERT_GE(ticks.size(), 1u);
  EXPECT_GE(ticks[0], 250u) << "the first tick comes one period after the write";
  SetTimerPeriod(window, 0);
}

// --- Activity log ---------------------------------------------------------

// The persistent image as rows of pixels (0x00RRGGBB).
std::vector<unsigned> ImagePixels(const CanvasState& canvas) {
  std::vector<unsigned> pixels(canvas.width * canvas.height);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = canvas.width;
  info.bmiHeader.biHeight = -canvas.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HBITMAP scratch = CreateCompatibleBitmap(canvas.image, 1, 1);
  HGDIOBJ bitmap = SelectObject(canvas.image, scratch);  // GetDIBits wants it unselected
  GetDIBits(canvas.image, static_cast<HBITMAP>(bitmap), 0, canvas.height, pixels.data(), &info, DIB_RGB_COLORS);
  SelectObject(canvas.image, bitmap);
  DeleteObject(scratch);
  for (unsigned& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

unsigned Background() {
  COLORREF c = GetSysColor(COLOR_BTNFACE);
  return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

// Rows [top, bottom) hold something other than the background.
bool RowsHaveInk(const std::vector<unsigned>& pixels, int top, int bottom, int left = 0, int right = kCanvasClientWidth) {
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x)
      if (pixels[y * kCanvasClientWidth + x] != Background()) return true;
  return false;
}

int LineHeight(const CanvasState& canvas) {
  HGDIOBJ before = SelectObject(canvas.image, canvas.font);
  SIZE size;
  GetTextExtentPoint32W(canvas.image, L"W", 1, &size);
  SelectObject(canvas.image, before);
  return size.cy;
}

TEST_F(MainWindowTest, LinesGoDownFromTheTopLeftAndScrollAtTheBottom) {
  CanvasState& canvas = Canvas();
  ASSERT_EQ(canvas.width, kCanvasClientWidth);
  ASSERT_EQ(canvas.height, kCanvasClientHeight);
  EXPECT_EQ(canvas.x, 0);
  EXPECT_EQ(canvas.y, 0);
  EXPECT_FALSE(RowsHaveInk(ImagePixels(canvas), 0, kCanvasClientHeight));

  const int h = LineHeight(canvas);
  const int b = kCanvasClientHeight;
  ScrollWriteLine(window, "WWW");
  auto pixels = ImagePixels(canvas);
  EXPECT_TRUE(RowsHaveInk(pixels, 0, h, 0, 3));  // drawn at (0, 0)
  EXPECT_FALSE(RowsHaveInk(pixels, h, b));
  EXPECT_EQ(canvas.y, h + 2);

  // Fill up to the last line that fits, each h + 2 below the one before.
  int lines = 1;
  while (canvas.y + h <= b) {
    int y = canvas.y;
    ScrollWriteLine(window, "WWW");
    EXPECT_EQ(canvas.y, y + h + 2);
    ++lines;
  }
  EXPECT_EQ(lines, (b + 2) / (h + 2));

  // The first scroll moves the picture up by y + h + 2 - B.
  int s = canvas.y + h + 2 - b;
  auto before = ImagePixels(canvas);
  ScrollWriteLine(window, "WWW");
  auto after = ImagePixels(canvas);
  EXPECT_EQ(canvas.y, b);  // the newest line ends 2 pixels above the bottom
  int unchanged = std::min(b - s, b - 2 - h);
  for (int y = 0; y < unchanged; ++y)
    ASSERT_TRUE(std::equal(after.begin() + y * kCanvasClientWidth, after.begin() + (y + 1) * kCanvasClientWidth,
                           before.begin() + (y + s) * kCanvasClientWidth))
        << "row " << y << " after a scroll of " << s;
  EXPECT_TRUE(RowsHaveInk(after, b - 2 - h, b - 2, 0, 3));

  // Every later line scrolls by h + 2.
  before = after;
  ScrollWriteLine(window, "WWW");
  after = ImagePixels(canvas);
  EXPECT_EQ(canvas.y, b);
  for (int y = 0; y < b - 2 - h - (h + 2); ++y)
    ASSERT_TRUE(std::equal(after.begin() + y * kCanvasClientWidth, after.begin() + (y + 1) * kCanvasClientWidth,
                           before.begin() + (y + h + 2) * kCanvasClientWidth))
        << "row " << y;
}

TEST_F(MainWindowTest, LineBreaksMakeLinesAndOnlyTheFirstHasTheTime) {
  CanvasState& canvas = Canvas();
  const int h = LineHeight(canvas);
  AppendLog(window, "i\r\ni");
  EXPECT_EQ(canvas.y, 2 * (h + 2));
  auto pixels = ImagePixels(canvas);
  int timeWidth = 20;  // the time text is far wider than one "i"
  EXPECT_TRUE(RowsHaveInk(pixels, 0, h, timeWidth, kCanvasClientWidth));
  EXPECT_FALSE(RowsHaveInk(pixels, h + 2, 2 * h + 2, timeWidth, kCanvasClientWidth));
  EXPECT_TRUE(RowsHaveInk(pixels, h + 2, 2 * h + 2, 0, timeWidth));

  // CR, LF, CR LF and LF LF each make one break; a final break an empty line.
  struct Case {
    const char* text;
    int lines;
  } cases[] = {{"a", 1}, {"", 1}, {"a\rb", 2}, {"a\nb", 2}, {"a\r\nb", 2}, {"a\n\nb", 2},
               {"a\n\n\nb", 3}, {"a\r\rb", 3}, {"a\r\n", 2}, {"\n", 2}};
  for (const Case& c : cases) {
    ClearCanvas(window, 0, 0, 480, 209);
    ScrollWriteLine(window, c.text);
    EXPECT_EQ(canvas.y, c.lines * (h + 2)) << '"' << c.text << '"';
  }
}

TEST_F(MainWindowTest, ClearCanvasEmptiesItAndRestartsAtItsCorner) {
  CanvasState& canvas = Canvas();
  for (int i = 0; i < 30; ++i) AppendLog(window, "一行");
  ClearCanvas(window, 0, 0, CanvasWidth(window), CanvasHeight(window));
  EXPECT_FALSE(RowsHaveInk(ImagePixels(canvas), 0, kCanvasClientHeight));
  EXPECT_EQ(canvas.x, 0);
  EXPECT_EQ(canvas.y, 0);

  // An inverted rectangle is put in order; the position is its top-left corner.
  ClearCanvas(window, 50, 40, -20, -10);
  EXPECT_EQ(canvas.x, 30);
  EXPECT_EQ(canvas.y, 30);
  ClearCanvas(window, 0, 0, 480, 209);
}

TEST_F(MainWindowTest, ALongLineRunsPastTheEdgeWithoutWrapping) {
  CanvasState& canvas = Canvas();
  const int h = LineHeight(canvas);
  AppendLog(window, std::string(300, 'W').c_str());
  EXPECT_EQ(canvas.y, h + 2);
  EXPECT_EQ(canvas.x, 0);
  EXPECT_FALSE(RowsHaveInk(ImagePixels(canvas), h, kCanvasClientHeight));
}

TEST_F(MainWindowTest, CanvasRepaintsFromItsImage) {
  for (int i = 0; i < 5; ++i) AppendLog(window, "覆盖之后仍在");
  auto image = ImagePixels(Canvas());
  // Cover the canvas with another window, then minimise and restore.
  HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 2000, 2000, nullptr,
                               nullptr, nullptr, nullptr);
  Pump();
  DestroyWindow(cover);
  ShowWindow(window, SW_MINIMIZE);
  Pump();
  ShowWindow(window, SW_RESTORE);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();

  HWND canvasWindow = Child(Control::画板1);
  HDC screen = GetDC(canvasWindow);
  HDC copy = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, kCanvasClientWidth, kCanvasClientHeight);
  HGDIOBJ before = SelectObject(copy, bitmap);
  BitBlt(copy, 0, 0, kCanvasClientWidth, kCanvasClientHeight, screen, 0, 0, SRCCOPY);
  ReleaseDC(canvasWindow, screen);
  CanvasState shown = {copy, bitmap, before, nullptr, kCanvasClientWidth, kCanvasClientHeight};
  auto onScreen = ImagePixels(shown);
  SelectObject(copy, before);
  DeleteObject(bitmap);
  DeleteDC(copy);
  EXPECT_TRUE(onScreen == image);
}

// --- Time of day ----------------------------------------------------------

tm* fakeTime;
tm* WINAPIV FakeLocalTime(const __time64_t*) { return fakeTime; }

TEST(TimeOfDayText, IsHourMinuteSecondWithoutLeadingZeros) {
  struct Case {
    int hour, minute, second;
    const char* text;
  } cases[] = {{0, 0, 0, "0时0分0秒"}, {23, 59, 59, "23时59分59秒"}, {9, 5, 7, "9时5分7秒"}, {21, 30, 0, "21时30分0秒"}};
  for (const Case& c : cases) {
    tm t = {};
    t.tm_hour = c.hour;
    t.tm_min = c.minute;
    t.tm_sec = c.second;
    fakeTime = &t;
    ScopedOverride<decltype(msvcrt._localtime64)> local(msvcrt._localtime64, FakeLocalTime);
    EXPECT_EQ(TimeOfDayText(), Text(c.text)) << c.text;
  }
}

TEST(TimeOfDayText, FollowsTheLocalClock) {
  __time64_t now = msvcrt._time64(nullptr);
  tm local = *msvcrt._localtime64(&now);
  char expected[64];
  wsprintfA(expected, "%d时%d分%d秒", local.tm_hour, local.tm_min, local.tm_sec);
  Text text = TimeOfDayText();
  // The second may have turned between the two readings.
  if (text != Text(expected)) {
    now = msvcrt._time64(nullptr);
    local = *msvcrt._localtime64(&now);
    wsprintfA(expected, "%d时%d分%d秒", local.tm_hour, local.tm_min, local.tm_sec);
  }
  EXPECT_EQ(text, Text(expected));
}

// --- Start-up -------------------------------------------------------------

TEST(Startup, ModulePathSplitsAtTheLastBackslashOfWholeCharacters) {
  struct Case {
    const char* path;
    const char* directory;
    const char* name;
  } cases[] = {
      {"C:\\Tools\\app.exe", "C:\\Tools", "app.exe"},
      {"C:\\app.exe", "C:", "app.exe"},
      {"app.exe", "", "app.exe"},
      {"C:\\\x95\x5C.exe", "C:", "\x95\x5C.exe"},  // 0x5C as a trail byte is no separator
      {"C:\\目录\\工具.exe", "C:\\目录", "工具.exe"},
  };
  for (const Case& c : cases) {
    Text directory, name;
    SplitAtLastBackslash(c.path, &directory, &name);
    EXPECT_EQ(directory, Text(c.directory)) << c.path;
    EXPECT_EQ(name, Text(c.name)) << c.path;
  }
}

TEST(Startup, TakesOwnPathAndMakesItsDirectoryCurrent) {
  TakeModulePath();
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring expected(module);
  EXPECT_EQ(expected.substr(0, expected.rfind(L'\\')), current);
  EXPECT_FALSE(RunDirectory.empty());
  EXPECT_EQ(OwnPath().size(), RunDirectory.size() + 1 + ExecutableName.size());
}

// --- Code pages -----------------------------------------------------------

// Run also under a Western locale (code page 1252): the window must read the
// same, since its texts are converted from 936 explicitly.
TEST_F(MainWindowTest, ChineseTextsReadTheSameOnEveryCodePage) {
  if (const char* acp = getenv("KEEPFRESH_EXPECT_ACP")) {
    EXPECT_EQ(GetACP(), static_cast<UINT>(atoi(acp)));
  }
  EXPECT_EQ(WideText(Control::按钮1), L"选择文件");
  EXPECT_EQ(WideText(Control::按钮2), L"开始工作");
  EXPECT_EQ(WideText(Control::标签1), L"目标文件：");
  EXPECT_EQ(WideText(Control::标签4), L"倒计时：");
  SetControlText(window, Control::标签_倒计时, "停止工作");
  EXPECT_EQ(WideText(Control::标签_倒计时), L"停止工作");
  SetWindowTextW(Child(Control::编辑框_进程名称), L"进程.exe");
  EXPECT_EQ(ControlText(window, Control::编辑框_进程名称), Text("进程.exe"));
}

}  // namespace
