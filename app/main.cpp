// KeepFresh: ends a named process and opens a target file again at a fixed
// interval, and reports each step in its window.
#include <windows.h>
#include <ole2.h>

#include "app/main_window.h"
#include "app/startup.h"
#include "platform/bindings.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const char* missing = nullptr;
  if (!LoadPlatform(&missing)) {
    wchar_t text[160];
    wsprintfW(text, L"KeepFresh 无法启动：系统中缺少 %hs。", missing);
    MessageBoxW(nullptr, text, L"错误", MB_OK | MB_ICONERROR);
    return 1;
  }
  OleInitialize(nullptr);
  TakeModulePath();

  if (!LoadMainWindow(instance)) {
    MessageBoxW(nullptr, L"无法创建主窗口，KeepFresh 将退出。", L"错误", MB_OK | MB_ICONERROR);
    OleUninitialize();
    return 1;
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (HandleTabKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  OleUninitialize();
  return static_cast<int>(message.wParam);
}
