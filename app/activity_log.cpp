#include "app/activity_log.h"

#include <limits.h>

#include "app/controls.h"
#include "app/main_window.h"
#include "platform/bindings.h"
#include "text/text.h"

namespace {

// Gap between lines and between the newest line and the bottom edge.
constexpr int kLineGap = 2;

// One line cut from a text: [begin, end) and where the next line starts.
struct LineSpan {
  const char* begin;
  const char* end;
  const char* next;  // null after the last line
};

// CR or LF ends a line; an LF right after either belongs to the same break.
LineSpan NextLine(const char* begin, const char* limit) {
  const char* p = begin;
  while (p < limit && *p != '\r' && *p != '\n') ++p;
  if (p == limit) return {begin, p, nullptr};
  const char* next = p + 1;
  if (next < limit && *next == '\n') ++next;
  return {begin, p, next};
}

// Draws one line on one surface, scrolling it first when the line would
// pass the bottom edge. Returns the y at which the line was drawn.
int DrawLine(HDC dc, const CanvasState& state, int y, int h, const WideBuffer& line, bool scroll) {
  if (scroll) {
    int s = y + h + kLineGap - state.height;
    RECT all = {0, 0, state.width, state.height};
    ScrollDC(dc, 0, -s, &all, &all, nullptr, nullptr);
    HGDIOBJ before = SelectObject(dc, GetSysColorBrush(COLOR_BTNFACE));
    PatBlt(dc, 0, state.height - s, state.width, s, PATCOPY);
    SelectObject(dc, before);
    y = state.height - kLineGap - h;
  }
  if (!line.empty()) {
    int units = static_cast<int>(line.size() / sizeof(wchar_t)) - 1;
    gdi32.TextOutW(dc, state.x, y, WideChars(line), units);
  }
  return y;
}

long long ClampToInt(long long v) {
  return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v;
}

}  // namespace

void AppendLog(HWND window, const Text& message) {
  ScrollWriteLine(window, TimeOfDayText() + "----" + message);
}

Text TimeOfDayText() {
  __time64_t now = msvcrt._time64(nullptr);
  const tm* local = msvcrt._localtime64(&now);
  if (!local) return Text();
  char text[64];
  wsprintfA(text, "%d时%d分%d秒", local->tm_hour, local->tm_min, local->tm_sec);
  return Text(text);
}

void ScrollWriteLine(HWND window, const Text& text) {
  HWND canvas = ControlWindow(window, Control::画板1);
  CanvasState* state = CanvasOf(canvas);
  if (!state || !state->image) return;
  HDC screen = GetDC(canvas);
  HGDIOBJ screenFontBefore = SelectObject(screen, state->font);
  HGDIOBJ imageFontBefore = SelectObject(state->image, state->font);
  HDC surfaces[] = {state->image, screen};
  for (HDC dc : surfaces) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
  }

  const char* limit = text.c_str() + text.size();
  const char* at = text.c_str();
  while (at) {
    LineSpan span = NextLine(at, limit);
    WideBuffer line = TextToWide(Text(span.begin, span.end - span.begin));
    SIZE extent = {};
    if (line.empty())
      GetTextExtentPoint32W(state->image, L"W", 1, &extent);
    else
      GetTextExtentPoint32W(state->image, WideChars(line), static_cast<int>(line.size() / sizeof(wchar_t)) - 1, &extent);
    int h = extent.cy;
    bool scroll = state->y + h > state->height;
    DrawLine(state->image, *state, state->y, h, line, scroll);
    state->y = DrawLine(screen, *state, state->y, h, line, scroll) + h + kLineGap;
    at = span.next;
  }

  SelectObject(state->image, imageFontBefore);
  SelectObject(screen, screenFontBefore);
  ReleaseDC(canvas, screen);
}

void ClearCanvas(HWND window, int left, int top, int width, int height) {
  HWND canvas = ControlWindow(window, Control::画板1);
  CanvasState* state = CanvasOf(canvas);
  if (!state || !state->image) return;
  // Corners in order, so the rectangle is never inverted; computed wide so
  // that no argument can overflow.
  long long x0 = left, y0 = top, x1 = x0 + width, y1 = y0 + height;
  RECT r = {static_cast<LONG>(ClampToInt(x0 < x1 ? x0 : x1)), static_cast<LONG>(ClampToInt(y0 < y1 ? y0 : y1)),
            static_cast<LONG>(ClampToInt(x0 < x1 ? x1 : x0)), static_cast<LONG>(ClampToInt(y0 < y1 ? y1 : y0))};
  HDC screen = GetDC(canvas);
  HDC surfaces[] = {state->image, screen};
  for (HDC dc : surfaces) {
    HGDIOBJ before = SelectObject(dc, GetSysColorBrush(COLOR_BTNFACE));
    PatBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, PATCOPY);
    SelectObject(dc, before);
  }
  ReleaseDC(canvas, screen);
  state->x = r.left;
  state->y = r.top;
}
