// The floor of the footprint benchmark: the least a program of KeepFresh's
// kind can do. One empty window of the same size and frame, and, when
// started as "floor.exe /open <path>", the shell's "open" operation on that
// path at each WM_TIMER with id 1, which is what a restart cycle ends in.
// Built with KeepFresh's own compiler and linker flags.
#include <windows.h>
#include <shellapi.h>

namespace {

const wchar_t kFloorClass[] = L"FloorWindow";
constexpr int kWidth = 503;  // KeepFresh's main window, frame included
constexpr int kHeight = 337;
constexpr UINT_PTR kTickTimer = 1;

const wchar_t* openPath = nullptr;

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kTickTimer && openPath)
        ShellExecuteW(nullptr, L"open", openPath, nullptr, L"", SW_SHOWNORMAL);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv && argc == 3 && lstrcmpiW(argv[1], L"/open") == 0) openPath = argv[2];

  WNDCLASSW c = {};
  c.lpfnWndProc = FloorProc;
  c.hInstance = instance;
  c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  c.lpszClassName = kFloorClass;
  if (!RegisterClassW(&c)) return 1;
  int left = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  HWND window = CreateWindowExW(0, kFloorClass, L"", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                left, top, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOW);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
