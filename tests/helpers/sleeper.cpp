// A process that only waits: the tests run copies of it under the names the
// watchdog looks for (Fiddler.exe and the like) and end it from outside.
#include <windows.h>

int main() {
  Sleep(INFINITE);
  return 0;
}
