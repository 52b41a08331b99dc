// The watchdog: what the main window's four events do.
#pragma once

#include <windows.h>

#include "text/buffer.h"

// Seconds left until the next restart cycle; written only by the start
// click and the countdown tick.
extern int RemainingSeconds;

// The created event: fills the target path with the path of a running
// Fiddler.exe, or with the watchdog's own path when none runs.
void OnMainWindowCreated(HWND window);

// Click of 按钮2: checks the inputs, then starts or stops the work.
void OnStartStopClicked(HWND window);

// Each second of 时钟1: counts down, or runs a restart cycle at zero.
void OnCountdownTick(HWND window);

// Click of 按钮1: lets the user choose the target file.
void OnChooseFileClicked(HWND window);

// Reads an interval text: full-width forms folded to ASCII, leading blanks
// skipped, an optional sign, decimal digits wrapping in 32 bits.
int TextToInteger(const Text& input);

// The shell's "open" operation on path; failures go unnoticed.
void ShellOpen(const Text& path);

// Writes Restart.bat beside the executable, starts it hidden and ends the
// process. Returns only when that cannot be done; then nothing has changed.
void RestartSelf();

// The bytes of Restart.bat for an executable at the given path.
Text RestartBatchText(const Text& executablePath);

// Runs the open-file dialog of 通用对话框1; 1 when a file was confirmed.
int ShowOpenDialog(HWND window);
