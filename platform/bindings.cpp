#include "platform/bindings.h"

Kernel32Functions kernel32;
PsapiFunctions psapi;
ShlwapiFunctions shlwapi;
MsvcrtFunctions msvcrt;
User32Functions user32;
Shell32Functions shell32;
Comdlg32Functions comdlg32;
Gdi32Functions gdi32;

namespace {

// Loads a DLL by its full path in the system directory, so that no copy in
// the program's own folder or the current directory can stand in for it.
HMODULE LoadSystemLibrary(const char* dll) {
  char path[MAX_PATH];
  UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n + 1 + strlen(dll) >= MAX_PATH) return nullptr;
  path[n] = '\\';
  strcpy(path + n + 1, dll);
  return LoadLibraryA(path);
}

template <class Entry>
bool Bind(HMODULE module, const char* name, Entry& entry, const char** missing) {
  entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (!entry) *missing = name;
  return entry != nullptr;
}

#define PLATFORM_BIND_ENTRY(table, name) ok = Bind(module, #name, table.name, missing) && ok;

#define PLATFORM_LOAD(dll, table, LIST)                      \
  {                                                          \
    HMODULE module = LoadSystemLibrary(dll);                 \
    if (!module) {                                           \
      *missing = dll;                                        \
      return false;                                          \
    }                                                        \
    bool ok = true;                                          \
    LIST(PLATFORM_BIND_##table)                              \
    if (!ok) return false;                                   \
  }

#define PLATFORM_BIND_kernel32(name) PLATFORM_BIND_ENTRY(kernel32, name)
#define PLATFORM_BIND_psapi(name) PLATFORM_BIND_ENTRY(psapi, name)
#define PLATFORM_BIND_shlwapi(name) PLATFORM_BIND_ENTRY(shlwapi, name)
#define PLATFORM_BIND_msvcrt(name) PLATFORM_BIND_ENTRY(msvcrt, name)
#define PLATFORM_BIND_user32(name) PLATFORM_BIND_ENTRY(user32, name)
#define PLATFORM_BIND_shell32(name) PLATFORM_BIND_ENTRY(shell32, name)
#define PLATFORM_BIND_comdlg32(name) PLATFORM_BIND_ENTRY(comdlg32, name)
#define PLATFORM_BIND_gdi32(name) PLATFORM_BIND_ENTRY(gdi32, name)

}  // namespace

bool LoadPlatform(const char** missing) {
  const char* ignored = nullptr;
  if (!missing) missing = &ignored;
  PLATFORM_LOAD("kernel32.dll", kernel32, KERNEL32_FUNCTIONS)
  PLATFORM_LOAD("psapi.dll", psapi, PSAPI_FUNCTIONS)
  PLATFORM_LOAD("shlwapi.dll", shlwapi, SHLWAPI_FUNCTIONS)
  PLATFORM_LOAD("msvcrt.dll", msvcrt, MSVCRT_FUNCTIONS)
  PLATFORM_LOAD("user32.dll", user32, USER32_FUNCTIONS)
  PLATFORM_LOAD("shell32.dll", shell32, SHELL32_FUNCTIONS)
  PLATFORM_LOAD("gdi32.dll", gdi32, GDI32_FUNCTIONS)
  return true;
}

bool LoadCommonDialogs() {
  if (comdlg32.GetOpenFileNameW) return true;  // bound before, or a test's fake
  const char* ignored = nullptr;
  const char** missing = &ignored;
  PLATFORM_LOAD("comdlg32.dll", comdlg32, COMDLG32_FUNCTIONS)
  return true;
}
