#include "app/main_window.h"

#include <commctrl.h>

#include "app/controls.h"
#include "app/ui_text.h"
#include "text/text.h"
#include "watchdog/watchdog.h"

namespace {

const wchar_t kMainWindowClass[] = L"KeepFreshMainWindow";
constexpr UINT_PTR kCountdownTimer = 1;
constexpr int kFirstControlId = 1000;

enum class Kind { Label, Edit, Button, Hidden, Canvas };

struct ControlLayout {
  Control control;
  Kind kind;
  int left, top, width, height;
  const char* text;
  DWORD style;  // beyond what every control of its kind has
};

// The form, in stacking order from top to bottom.
const ControlLayout kLayout[kControlCount] = {
    {Control::标签5, Kind::Label, 271, 56, 64, 24, "进程名称：", 0},
    {Control::编辑框_进程名称, Kind::Edit, 336, 57, 69, 20, "Fiddler.exe", 0},
    {Control::通用对话框1, Kind::Hidden, 0, 0, 0, 0, "", 0},
    {Control::时钟1, Kind::Hidden, 0, 0, 0, 0, "", 0},
    {Control::按钮2, Kind::Button, 424, 52, 62, 29, "开始工作", 0},
    {Control::标签6, Kind::Label, 248, 56, 15, 24, "秒", 0},
    {Control::标签_倒计时, Kind::Label, 194, 55, 48, 24, "0", WS_BORDER},
    {Control::标签4, Kind::Label, 143, 55, 48, 24, "倒计时：", 0},
    {Control::标签3, Kind::Label, 126, 55, 15, 24, "秒", 0},
    {Control::编辑框_倒计时, Kind::Edit, 72, 56, 48, 20, "0", 0},
    {Control::标签2, Kind::Label, 12, 56, 58, 24, "重启频率：", 0},
    {Control::标签1, Kind::Label, 12, 18, 58, 24, "目标文件：", 0},
    {Control::编辑框_路径, Kind::Edit, 72, 19, 333, 20, "", ES_READONLY},
    {Control::按钮1, Kind::Button, 424, 15, 62, 29, "选择文件", 0},
    {Control::画板1, Kind::Canvas, 8, 88, 480, 209, "", WS_BORDER},
};

// Tab moves through the controls that take the focus in reading order.
const Control kTabOrder[] = {Control::编辑框_路径, Control::按钮1, Control::编辑框_倒计时,
                             Control::编辑框_进程名称, Control::按钮2};

struct MainWindowState {
  HWND controls[kControlCount] = {};
  int timerPeriod = 0;
  Text dialogFileName;
};

bool IsMainWindow(HWND window) {
  wchar_t name[32];
  return GetClassNameW(window, name, 32) && lstrcmpW(name, kMainWindowClass) == 0;
}

MainWindowState* StateOf(HWND window) {
  if (!IsMainWindow(window)) return nullptr;
  return reinterpret_cast<MainWindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

int ControlId(Control control) { return kFirstControlId + static_cast<int>(control); }

// The interval box takes only digits and "-" from the keyboard; control
// characters (Backspace, the clipboard keys) pass, and pasting is not filtered.
LRESULT CALLBACK IntervalFilter(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
  if (message == WM_CHAR && wParam >= 32 && !(wParam >= '0' && wParam <= '9') && wParam != '-') return 0;
  if (message == WM_NCDESTROY) RemoveWindowSubclass(edit, IntervalFilter, id);
  return DefSubclassProc(edit, message, wParam, lParam);
}

HWND CreateControl(HWND window, HINSTANCE instance, const ControlLayout& c) {
  const wchar_t* windowClass = L"STATIC";
  DWORD style = WS_CHILD | c.style;
  DWORD exStyle = 0;
  switch (c.kind) {
    case Kind::Label:
      windowClass = kLabelClass;
      break;
    case Kind::Edit:
      windowClass = L"EDIT";
      style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case Kind::Button:
      windowClass = L"BUTTON";
      style |= WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
      break;
    case Kind::Hidden:
      break;
    case Kind::Canvas:
      windowClass = kCanvasClass;
      break;
  }
  HWND control = CreateWindowExW(exStyle, windowClass, WideChars(TextToWide(c.text)), style, c.left, c.top,
                                 c.width, c.height, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(c.control))), instance, nullptr);
  if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return control;
}

bool CreateControls(HWND window, MainWindowState* state) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
  for (const ControlLayout& c : kLayout) {
    HWND control = CreateControl(window, instance, c);
    if (!control) return false;
    state->controls[static_cast<int>(c.control)] = control;
  }
  SetWindowSubclass(state->controls[static_cast<int>(Control::编辑框_倒计时)], IntervalFilter, 1, 0);
  // Stack them as the form lists them, and show the visible ones.
  HWND above = HWND_TOP;
  for (const ControlLayout& c : kLayout) {
    HWND control = state->controls[static_cast<int>(c.control)];
    UINT show = c.kind == Kind::Hidden ? 0 : SWP_SHOWWINDOW;
    SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | show);
    above = control;
  }
  return true;
}

LRESULT OnCommand(HWND window, int id, int code) {
  if (code != BN_CLICKED) return 0;
  if (id == ControlId(Control::按钮1)) OnChooseFileClicked(window);
  if (id == ControlId(Control::按钮2)) OnStartStopClicked(window);
  return 0;
}

// Edit boxes are black on white, the read-only path box included, which
// would otherwise take the grey of a disabled field.
LRESULT OnEditColour(HDC dc) {
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      auto* state = new MainWindowState;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
      return CreateControls(window, state) ? 0 : -1;
    }
    case WM_COMMAND:
      return OnCommand(window, LOWORD(wParam), HIWORD(wParam));
    case WM_TIMER:
      if (wParam == kCountdownTimer) OnCountdownTick(window);
      return 0;
    case WM_CTLCOLOREDIT:
      return OnEditColour(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == ControlWindow(window, Control::编辑框_路径))
        return OnEditColour(reinterpret_cast<HDC>(wParam));
      break;
    case WM_DESTROY:
      KillTimer(window, kCountdownTimer);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      delete StateOf(window);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  return RegisterWindowClass(
      instance, kMainWindowClass, MainWindowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
      static_cast<HICON>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, 32, 32, LR_SHARED)),
      static_cast<HICON>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, 16, 16, LR_SHARED)));
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterControlClasses(instance) || !RegisterMainWindowClass(instance)) return nullptr;
  int left = (GetSystemMetrics(SM_CXSCREEN) - kMainWindowWidth) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - kMainWindowHeight) / 2;
  HWND window = CreateWindowExW(0, kMainWindowClass, L"", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                left, top, kMainWindowWidth, kMainWindowHeight, nullptr, nullptr, instance, nullptr);
  if (!window) return nullptr;
  RECT r;
  GetWindowRect(window, &r);
  if (r.right - r.left != kMainWindowWidth || r.bottom - r.top != kMainWindowHeight)
    SetWindowPos(window, nullptr, left, top, kMainWindowWidth, kMainWindowHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  return window;
}

HWND LoadMainWindow(HINSTANCE instance) {
  HWND window = CreateMainWindow(instance);
  if (!window) return nullptr;
  OnMainWindowCreated(window);
  if (!IsWindow(window)) return nullptr;
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetFocus(ControlWindow(window, Control::编辑框_倒计时));
  return window;
}

bool HandleTabKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB) return false;
  HWND window = GetAncestor(message.hwnd, GA_ROOT);
  if (!StateOf(window)) return false;
  int count = sizeof kTabOrder / sizeof kTabOrder[0];
  int at = -1;
  for (int i = 0; i < count; ++i)
    if (ControlWindow(window, kTabOrder[i]) == message.hwnd) at = i;
  if (at < 0) return false;
  int step = GetKeyState(VK_SHIFT) < 0 ? count - 1 : 1;
  HWND next = ControlWindow(window, kTabOrder[(at + step) % count]);
  SetFocus(next);
  if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(next, EM_SETSEL, 0, -1);
  return true;
}

HWND ControlWindow(HWND window, Control control) {
  MainWindowState* state = StateOf(window);
  return state ? state->controls[static_cast<int>(control)] : nullptr;
}

Text ControlText(HWND window, Control control) { return WindowText(ControlWindow(window, control)); }

void SetControlText(HWND window, Control control, const Text& text) {
  SetWindowTextFrom936(ControlWindow(window, control), text);
}

void SetTimerPeriod(HWND window, int milliseconds) {
  MainWindowState* state = StateOf(window);
  if (!state) return;
  if (milliseconds < 0) milliseconds = 0;
  if (milliseconds == state->timerPeriod) return;
  state->timerPeriod = milliseconds;
  KillTimer(window, kCountdownTimer);
  if (milliseconds > 0) SetTimer(window, kCountdownTimer, milliseconds, nullptr);
}

int CanvasWidth(HWND window) {
  RECT r = {};
  GetWindowRect(ControlWindow(window, Control::画板1), &r);
  return r.right - r.left;
}

int CanvasHeight(HWND window) {
  RECT r = {};
  GetWindowRect(ControlWindow(window, Control::画板1), &r);
  return r.bottom - r.top;
}

Text DialogFileName(HWND window) {
  MainWindowState* state = StateOf(window);
  return state ? state->dialogFileName : Text();
}

void SetDialogFileName(HWND window, const Text& path) {
  if (MainWindowState* state = StateOf(window)) state->dialogFileName = path;
}
