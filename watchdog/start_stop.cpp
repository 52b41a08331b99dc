#include "app/activity_log.h"
#include "app/main_window.h"
#include "platform/bindings.h"
#include "process/process.h"
#include "text/text.h"
#include "watchdog/watchdog.h"

int RemainingSeconds = 0;

namespace {

// MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND, with no owner.
constexpr UINT kErrorBoxStyle = 0x12010;

void ShowErrorBox(const Text& message) {
  user32.MessageBoxW(nullptr, WideChars(TextToWide(message)), WideChars(TextToWide("错误")), kErrorBoxStyle);
}

// The first refusal of the inputs, or the empty text when all are usable.
Text RefusalOf(HWND window) {
  if (TextToInteger(ControlText(window, Control::编辑框_倒计时)) <= 0) return "倒计时不能小于零!";
  if (ControlText(window, Control::编辑框_路径).empty()) return "请指定目标文件!";
  if (ControlText(window, Control::编辑框_进程名称).empty()) return "请填写要结束的进程名称!";
  return Text();
}

void StopWork(HWND window) {
  AppendLog(window, "停止工作...");
  SetControlText(window, Control::按钮2, "开始工作");
  SetTimerPeriod(window, 0);
  SetControlText(window, Control::标签_倒计时, "0");
}

void StartWork(HWND window) {
  ClearCanvas(window, 0, 0, CanvasWidth(window), CanvasHeight(window));
  AppendLog(window, "开始工作...");
  Text processName = ControlText(window, Control::编辑框_进程名称);
  if (ProcessExists(processName)) {
    AppendLog(window, "由于[" + ControlText(window, Control::编辑框_进程名称) + "]进程已存在,将不会运行[" +
                          FileNameFromPath(ControlText(window, Control::编辑框_路径)) + "]此程序...");
  } else {
    AppendLog(window, "由于[" + ControlText(window, Control::编辑框_进程名称) + "]进程不存在,将自动运行[" +
                          FileNameFromPath(ControlText(window, Control::编辑框_路径)) + "]此程序...");
    AppendLog(window, "正在启动 [" + FileNameFromPath(ControlText(window, Control::编辑框_路径)) + "] 文件...");
    ShellOpen(ControlText(window, Control::编辑框_路径));
  }
  SetControlText(window, Control::按钮2, "停止工作");
  RemainingSeconds = TextToInteger(ControlText(window, Control::编辑框_倒计时));
  SetTimerPeriod(window, 1000);
}

// Full-width forms of code page 936 folded to their ASCII twins.
Text FoldFullWidth(const Text& input) {
  Bytes folded(input.size());
  size_t n = 0;
  for (size_t i = 0; i < input.size(); ++i) {
    auto lead = static_cast<unsigned char>(input[i]);
    if (lead < 0x80) {
      folded[n++] = lead;
      continue;
    }
    if (i + 1 == input.size()) break;  // a lead byte without its trail
    auto trail = static_cast<unsigned char>(input[++i]);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      folded[n++] = trail - 0x80;
    } else if (lead == 0xA1 && trail == 0xA1) {
      folded[n++] = ' ';
    } else if (lead == 0xA1 && trail == 0xAB) {
      folded[n++] = '~';
    } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
      folded[n++] = '*';
    } else {
      folded[n++] = lead;
      folded[n++] = trail;
    }
  }
  return Text(reinterpret_cast<const char*>(folded.data()), n);
}

}  // namespace

int TextToInteger(const Text& input) {
  Text folded = FoldFullWidth(input);
  const char* p = folded.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  unsigned value = 0;  // wraps silently, as the reading has always done
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<unsigned>(*p - '0');
  return static_cast<int>(negative ? 0u - value : value);
}

void ShellOpen(const Text& path) {
  shell32.ShellExecuteW(nullptr, L"open", WideChars(TextToWide(path)), nullptr, L"", SW_SHOWNORMAL);
}

void OnStartStopClicked(HWND window) {
  Text refusal = RefusalOf(window);
  if (!refusal.empty()) {
    ShowErrorBox(refusal);
    return;
  }
  if (ControlText(window, Control::按钮2) == "开始工作")
    StartWork(window);
  else
    StopWork(window);
}
