#include "app/main_window.h"
#include "process/process.h"
#include "text/text.h"
#include "watchdog/watchdog.h"

void OnMainWindowCreated(HWND window) {
  // With no Fiddler.exe the id is 0, which asks for our own executable.
  DWORD id = FindProcessId("Fiddler.exe");
  SetControlText(window, Control::编辑框_路径, WideToText(GetProcessImagePath(id)));
}
