// The program never throws, so operator new must not either: allocation
// failure ends the process at once. Defining these here also keeps the C++
// exception runtime, which the library's versions bring, out of the program.
#include <stdlib.h>

#include <new>

void* operator new(size_t size) {
  void* p = malloc(size ? size : 1);
  if (!p) abort();
  return p;
}

void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
