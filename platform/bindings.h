// The system functions the program calls through tables filled at run time
// from the system directory, rather than through the import table. Tests
// swap single entries for fakes (see platform/override.h).
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <tlhelp32.h>

// Each list names the exports of one DLL. The entry's type is taken from the
// SDK declaration, so signatures and calling conventions are never retyped.
// Process32First/Next are the ANSI entry points of those names.
#define KERNEL32_FUNCTIONS(X)  \
  X(CreateToolhelp32Snapshot)  \
  X(Process32First)            \
  X(Process32Next)             \
  X(OpenProcess)               \
  X(GetCurrentProcess)         \
  X(TerminateProcess)          \
  X(CloseHandle)               \
  X(QueryDosDeviceW)           \
  X(MultiByteToWideChar)       \
  X(WideCharToMultiByte)       \
  X(GetShortPathNameW)         \
  X(lstrlenW)                  \
  X(LCMapStringW)              \
  X(GetModuleFileNameW)        \
  X(SetCurrentDirectoryW)      \
  X(FindFirstFileW)            \
  X(FindClose)                 \
  X(CreateFileW)               \
  X(WriteFile)                 \
  X(CreateProcessW)

#define PSAPI_FUNCTIONS(X) X(GetProcessImageFileNameW)

#define SHLWAPI_FUNCTIONS(X) X(PathFindFileNameA)

#define MSVCRT_FUNCTIONS(X) \
  X(strlen)                 \
  X(_time64)                \
  X(_localtime64)

#define USER32_FUNCTIONS(X) \
  X(MessageBoxW)            \
  X(WaitForInputIdle)

#define SHELL32_FUNCTIONS(X) X(ShellExecuteW)

#define COMDLG32_FUNCTIONS(X) X(GetOpenFileNameW)

// The log's text output, so that tests can read the lines it draws.
#define GDI32_FUNCTIONS(X) X(TextOutW)

#define PLATFORM_DECLARE_ENTRY(name) decltype(&::name) name;

struct Kernel32Functions { KERNEL32_FUNCTIONS(PLATFORM_DECLARE_ENTRY) };
struct PsapiFunctions { PSAPI_FUNCTIONS(PLATFORM_DECLARE_ENTRY) };
struct ShlwapiFunctions { SHLWAPI_FUNCTIONS(PLATFORM_DECLARE_ENTRY) };
struct MsvcrtFunctions { MSVCRT_FUNCTIONS(PLATFORM_DECLARE_ENTRY) };
struct User32Functions { USER32_FUNCTIONS(PLATFORM_DECLARE_ENTRY) };
struct Shell32Functions { SHELL32_FUNCTIONS(PLATFORM_DECLARE_ENTRY) };
struct Comdlg32Functions { COMDLG32_FUNCTIONS(PLATFORM_DECLARE_ENTRY) };
struct Gdi32Functions { GDI32_FUNCTIONS(PLATFORM_DECLARE_ENTRY) };

extern Kernel32Functions kernel32;
extern PsapiFunctions psapi;
extern ShlwapiFunctions shlwapi;
extern MsvcrtFunctions msvcrt;
extern User32Functions user32;
extern Shell32Functions shell32;
extern Comdlg32Functions comdlg32;
extern Gdi32Functions gdi32;

// Fills every table but comdlg32's from the system directory. On failure
// returns false and points *missing at the name of the DLL or function that
// could not be had.
bool LoadPlatform(const char** missing);

// Fills comdlg32's table on first use. That DLL brings the print spooler and
// its libraries with it (under Wine some 5 MB of resident memory and a part
// of the start-up time), for a dialog that most runs never open.
bool LoadCommonDialogs();
