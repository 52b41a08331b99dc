// What the window shows is converted explicitly from code page 936 and goes
// through the wide calls, so it reads the same whatever the system code page.
#pragma once

#include <windows.h>

#include "text/buffer.h"

Text WindowText(HWND window);
void SetWindowTextFrom936(HWND window, const Text& text);
