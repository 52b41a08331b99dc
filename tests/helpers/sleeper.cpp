// A process that only waits: the tests run copies of it under the names the
// watchdog looks for (Fiddler.exe and the like) and end it from outside.
// A windows-subsystem program, so that Wine gives it no console host, which
// would outlive it and hold the test runner's output pipe.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Sleep(INFINITE);
  return 0;
}
