#include <windows.h>
#include <commdlg.h>

#include "app/main_window.h"
#include "platform/bindings.h"
#include "text/text.h"
#include "watchdog/watchdog.h"

int ShowOpenDialog(HWND window) {
  wchar_t file[MAX_PATH] = {};
  wchar_t title[64] = {};
  WideBuffer initial = TextToWide(DialogFileName(window));
  // A name too long for the buffer is cut, always leaving its terminator.
  memcpy(file, initial.data(), initial.size() < sizeof file ? initial.size() : sizeof file - sizeof(wchar_t));

  OPENFILENAMEW dialog = {};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;  // the size without the later extension fields
  dialog.hwndOwner = window;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrFileTitle = title;
  dialog.nMaxFileTitle = 64;
  dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_EXPLORER |
                 OFN_ENABLESIZING;
  if (!LoadCommonDialogs() || !comdlg32.GetOpenFileNameW(&dialog)) return 0;
  file[MAX_PATH - 1] = 0;
  WideBuffer chosen(file, (kernel32.lstrlenW(file) + 1) * sizeof(wchar_t));
  SetDialogFileName(window, WideToText(chosen));
  return 1;
}

void OnChooseFileClicked(HWND window) {
  ShowOpenDialog(window);
  Text chosen = DialogFileName(window);
  if (!chosen.empty()) SetControlText(window, Control::编辑框_路径, chosen);
}
