#include "app/ui_text.h"

#include "text/text.h"

Text WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return Text();
  WideBuffer wide((length + 1) * sizeof(wchar_t));
  GetWindowTextW(window, reinterpret_cast<wchar_t*>(wide.data()), length + 1);
  return WideToText(wide);
}

void SetWindowTextFrom936(HWND window, const Text& text) {
  SetWindowTextW(window, WideChars(TextToWide(text)));
}
