#include "platform/bindings.h"
#include "platform/handle.h"
#include "process/process.h"
#include "text/text.h"

// The ANSI record: 296 bytes in the 32-bit program; the 64-bit test build
// widens th32DefaultHeapID to a pointer.
static_assert(sizeof(PROCESSENTRY32) == (sizeof(void*) == 4 ? 296 : 304),
              "unexpected PROCESSENTRY32 layout");

namespace {

// The one locale whose ANSI code page is the program's, so that names are
// upper-cased the way the platform does it for code page 936.
constexpr LCID kTextLocale = MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT);

// A name in upper-case UTF-16, so that a double-byte character is one unit
// and only ever equals a whole character. Empty when the bytes are not valid
// 936: substitutes would make unrelated invalid names look alike.
Bytes CaseKey(const char* name, size_t size) {
  if (size == 0) return Bytes();
  int units = kernel32.MultiByteToWideChar(kTextCodePage, MB_ERR_INVALID_CHARS, name,
                                           static_cast<int>(size), nullptr, 0);
  if (units <= 0) return Bytes();
  Bytes wide(2 * static_cast<size_t>(units));
  auto* chars = reinterpret_cast<wchar_t*>(wide.data());
  if (kernel32.MultiByteToWideChar(kTextCodePage, MB_ERR_INVALID_CHARS, name,
                                   static_cast<int>(size), chars, units) != units) {
    return Bytes();
  }
  int upperUnits = kernel32.LCMapStringW(kTextLocale, LCMAP_UPPERCASE, chars, units, nullptr, 0);
  if (upperUnits <= 0) return Bytes();
  Bytes upper(2 * static_cast<size_t>(upperUnits));
  if (kernel32.LCMapStringW(kTextLocale, LCMAP_UPPERCASE, chars, units,
                            reinterpret_cast<wchar_t*>(upper.data()), upperUnits) != upperUnits) {
    return Bytes();
  }
  return upper;
}

// The requested name, prepared once for the whole walk.
struct WantedName {
  Bytes bytes;
  Bytes key;
};

bool NameMatches(const WantedName& wanted, const PROCESSENTRY32& entry) {
  // szExeFile need not hold a zero byte: then all 260 bytes are the name.
  const char* name = entry.szExeFile;
  size_t size = 0;
  while (size < sizeof entry.szExeFile && name[size]) ++size;

  // Equal bytes are the same name, whether or not they are valid 936.
  if (Bytes(name, size) == wanted.bytes) return true;
  return !wanted.key.empty() && CaseKey(name, size) == wanted.key;
}

// Walks a fresh snapshot and stops at the first entry named name, leaving
// it in entry. The record is zeroed and sized once and reused by every step.
bool FindEntry(DWORD flags, const Text& name, PROCESSENTRY32& entry) {
  ScopedHandle snapshot(kernel32.CreateToolhelp32Snapshot(flags, 0));
  if (!snapshot.valid()) return false;
  WantedName wanted{Bytes(name.c_str(), name.size()), CaseKey(name.c_str(), name.size())};
  entry = PROCESSENTRY32{};
  entry.dwSize = sizeof entry;
  for (BOOL more = kernel32.Process32First(snapshot.get(), &entry); more;
       more = kernel32.Process32Next(snapshot.get(), &entry)) {
    if (NameMatches(wanted, entry)) return true;
  }
  return false;
}

}  // namespace

bool ProcessExists(const Text& name) {
  PROCESSENTRY32 entry;
  return FindEntry(TH32CS_SNAPALL, name, entry);
}

DWORD FindProcessId(const Text& name) {
  PROCESSENTRY32 entry;
  return FindEntry(TH32CS_SNAPPROCESS, name, entry) ? entry.th32ProcessID : 0;
}
