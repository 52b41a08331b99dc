// The C library's strlen is one of the text functions the program binds at
// run time (msvcrt.strlen in platform/bindings.h). The start-up code and the
// compiler's own calls are served here instead, so that the import table
// names none of those functions.
#include <windows.h>

#include <string.h>

extern "C" size_t __cdecl strlen(const char* text) { return static_cast<size_t>(lstrlenA(text)); }
