// The activity log on a real, visible main window: how many lines AppendLog
// draws per second, and whether drawing them leaves memory behind (the log
// keeps no text, so 10,000 lines must cost no more than 10).
// Prints "<what> <value>" lines for scripts/bench.sh.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>

#include "app/activity_log.h"
#include "app/main_window.h"
#include "platform/bindings.h"

namespace {

constexpr int kFewLines = 10;
constexpr int kManyLines = 10000;

// What a running KeepFresh does between two lines.
void TurnMessageLoop() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Private bytes: the commit charge, which Windows reports as PagefileUsage
// (and PrivateUsage); Wine fills only the first, from the anonymous resident
// and swapped memory of the process.
PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters;
}

void AppendLines(HWND window, int count) {
  for (int i = 0; i < count; ++i) {
    AppendLog(window, "正在结束 [Fiddler.exe] 进程...");
    TurnMessageLoop();
  }
}

}  // namespace

int main() {
  const char* missing = nullptr;
  if (!LoadPlatform(&missing)) {
    fprintf(stderr, "log_bench: missing %s\n", missing);
    return 1;
  }
  HWND window = CreateMainWindow(GetModuleHandleW(nullptr));
  if (!window) {
    fprintf(stderr, "log_bench: no main window\n");
    return 1;
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  TurnMessageLoop();

  AppendLines(window, kFewLines);
  PROCESS_MEMORY_COUNTERS few = Memory();

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  AppendLines(window, kManyLines - kFewLines);
  QueryPerformanceCounter(&end);
  PROCESS_MEMORY_COUNTERS many = Memory();

  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  printf("lines_per_s %.0f\n", (kManyLines - kFewLines) / seconds);
  printf("private_after_10 %llu\n", static_cast<unsigned long long>(few.PagefileUsage));
  printf("private_after_10000 %llu\n", static_cast<unsigned long long>(many.PagefileUsage));
  printf("resident_after_10 %llu\n", static_cast<unsigned long long>(few.WorkingSetSize));
  printf("resident_after_10000 %llu\n", static_cast<unsigned long long>(many.WorkingSetSize));
  DestroyWindow(window);
  return 0;
}
