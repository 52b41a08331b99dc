// The main window: its controls, their properties read and written by
// control name, and the timer that drives the countdown.
#pragma once

#include <windows.h>

#include "text/buffer.h"

// The controls by their form names, in stacking order from top to bottom.
enum class Control {
  标签5,
  编辑框_进程名称,
  通用对话框1,
  时钟1,
  按钮2,
  标签6,
  标签_倒计时,
  标签4,
  标签3,
  编辑框_倒计时,
  标签2,
  标签1,
  编辑框_路径,
  按钮1,
  画板1,
};
constexpr int kControlCount = static_cast<int>(Control::画板1) + 1;

constexpr int kMainWindowWidth = 503;
constexpr int kMainWindowHeight = 337;

// Creates the main window and all its controls, centred and not yet visible.
// Returns null when the window cannot be created.
HWND CreateMainWindow(HINSTANCE instance);

// Creates the main window, raises its created event and shows it: the load
// sequence of every start. Returns null when the window cannot be created.
HWND LoadMainWindow(HINSTANCE instance);

// Moves the focus on Tab and Shift+Tab when the key is meant for a control
// of the main window; true when it did. For the message loop.
bool HandleTabKey(const MSG& message);

HWND ControlWindow(HWND window, Control control);

// Text of an edit box or caption of a label or button, as code page 936.
Text ControlText(HWND window, Control control);
void SetControlText(HWND window, Control control, const Text& text);

// Period of 时钟1 in milliseconds: negative counts as 0, 0 stops it, and
// writing the current period leaves a running timer's schedule alone.
void SetTimerPeriod(HWND window, int milliseconds);

// Outer size of 画板1 on screen, border included.
int CanvasWidth(HWND window);
int CanvasHeight(HWND window);

// File name of the open-file dialog 通用对话框1: empty until a file is confirmed.
Text DialogFileName(HWND window);
void SetDialogFileName(HWND window, const Text& path);
