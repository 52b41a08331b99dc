// The activity log: time-stamped lines drawn on the canvas 画板1, scrolling
// up once they reach its bottom edge. It keeps no text: it is a picture.
#pragma once

#include <windows.h>

#include "text/buffer.h"

// Writes "<time of day>----<message>" as new line(s) on the log.
void AppendLog(HWND window, const Text& message);

// The local time of day as "%d时%d分%d秒".
Text TimeOfDayText();

// Draws text as lines at the write position, scrolling as needed; CR, LF,
// CR LF and LF LF each end a line.
void ScrollWriteLine(HWND window, const Text& text);

// Fills the rectangle with the background and moves the write position to
// its top-left corner.
void ClearCanvas(HWND window, int left, int top, int width, int height);
