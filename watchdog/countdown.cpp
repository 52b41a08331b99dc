#include "app/activity_log.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "process/process.h"
#include "text/text.h"
#include "watchdog/watchdog.h"

namespace {

Text DecimalText(int value) {
  char digits[16];
  wsprintfA(digits, "%d", value);
  return digits;
}

void RunNormalCycle(HWND window) {
  AppendLog(window, "正在结束 [" + ControlText(window, Control::编辑框_进程名称) + "] 进程...");
  if (KillProcessByName(ControlText(window, Control::编辑框_进程名称)))
    AppendLog(window, "结束进程 [" + ControlText(window, Control::编辑框_进程名称) + "] 成功...");
  else
    AppendLog(window, "结束进程 [" + ControlText(window, Control::编辑框_进程名称) + "] 失败,请查明该进程是否存在...");
  AppendLog(window, "正在启动 [" + FileNameFromPath(ControlText(window, Control::编辑框_路径)) + "] 文件...");
  ShellOpen(ControlText(window, Control::编辑框_路径));
}

}  // namespace

void OnCountdownTick(HWND window) {
  if (RemainingSeconds != 0) {
    // Unsigned, so that a count reloaded at the most negative value wraps
    // instead of overflowing.
    RemainingSeconds = static_cast<int>(static_cast<unsigned>(RemainingSeconds) - 1);
    SetControlText(window, Control::标签_倒计时, DecimalText(RemainingSeconds));
    return;
  }
  RemainingSeconds = TextToInteger(ControlText(window, Control::编辑框_倒计时));
  if (ControlText(window, Control::编辑框_路径) == OwnPath()) {
    AppendLog(window, "正在重启 [" + FileNameFromPath(ControlText(window, Control::编辑框_路径)) + "] 文件...");
    RestartSelf();  // returns only when the restart could not be set on its way
    return;
  }
  RunNormalCycle(window);
}
