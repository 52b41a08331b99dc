#include "tests/support.h"

#include <stdio.h>
#include <winternl.h>

#include <map>

namespace {

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n < MAX_PATH ? n : 0);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

void DeleteTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

// Calls visit(handle) for each handle open in this process. Wine's
// GetProcessHandleCount is a stub, and Wine hands out the lowest free handle
// value, so once a long run of values is unused no later one is in use; each
// probe is a trip to the wineserver.
template <typename Visit>
void ForEachOpenHandle(Visit visit) {
  int unused = 0;
  for (UINT_PTR value = 4; value <= 0xFFFC && unused < 1024; value += 4) {
    DWORD flags;
    HANDLE handle = reinterpret_cast<HANDLE>(value);
    if (GetHandleInformation(handle, &flags)) {
      visit(handle);
      unused = 0;
    } else {
      ++unused;
    }
  }
}

std::string KindOf(HANDLE handle) {
  union {
    PUBLIC_OBJECT_TYPE_INFORMATION info;
    char room[512];
  } type;
  ULONG length = 0;
  if (NtQueryObject(handle, ObjectTypeInformation, &type, sizeof type, &length) < 0 || !type.info.TypeName.Length) {
    return "?";
  }
  return To936(std::wstring(type.info.TypeName.Buffer, type.info.TypeName.Length / sizeof(wchar_t)));
}

}  // namespace

int OpenHandleCount() {
  DWORD reported = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported) return static_cast<int>(reported);
  int count = 0;
  ForEachOpenHandle([&count](HANDLE) { ++count; });
  return count;
}

int SettledHandleCount(int expected) {
  int count = OpenHandleCount();
  for (int waited = 0; count != expected && waited < 2000; waited += 50) {
    Sleep(50);
    count = OpenHandleCount();
  }
  return count;
}

std::string OpenHandleKinds() {
  std::map<std::string, int> kinds;
  ForEachOpenHandle([&kinds](HANDLE handle) { ++kinds[KindOf(handle)]; });
  std::string out;
  for (const auto& kind : kinds) {
    out += (out.empty() ? "" : " ") + kind.first + "*" + std::to_string(kind.second);
  }
  return out;
}

TempFolder::TempFolder() {
  static int made = 0;
  wchar_t temp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  std::wstring base(temp, n);
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  for (;;) {
    path_ = base + L"\\KeepFresh-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made);
    if (CreateDirectoryW(path_.c_str(), nullptr) || GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
}

TempFolder::~TempFolder() { DeleteTree(path_); }

HelperProcess::HelperProcess(const std::wstring& fileName) : path_(folder_.path() + L"\\" + fileName) {
  if (!CopyFileW((ExeFolder() + L"\\sleeper.exe").c_str(), path_.c_str(), TRUE)) return;
  std::wstring commandLine = L"\"" + path_ + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(path_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &info)) {
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
}

HelperProcess::~HelperProcess() {
  if (process_) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 10000);
    CloseHandle(process_);
  }
  // folder_ goes after this body, with the executable in it.
}

bool HelperProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(process_, exitCode) != FALSE;
}

std::string To936(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(n, '\0');
  WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0], n, nullptr, nullptr);
  return bytes;
}

std::wstring From936(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  int n = MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(936, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
  return wide;
}

std::string Hex(const Bytes& bytes) {
  std::string hex;
  char two[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    snprintf(two, sizeof two, "%02X", bytes[i]);
    if (i) hex += ' ';
    hex += two;
  }
  return hex;
}

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 3) {
    unsigned char byte = static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16));
    bytes.Append(&byte, 1);
  }
  return bytes;
}

void PrintTo(const Bytes& bytes, std::ostream* out) { *out << "<" << Hex(bytes) << ">"; }

void PrintTo(const Text& text, std::ostream* out) {
  *out << "\"" << text.c_str() << "\" <" << Hex(Bytes(text.c_str(), text.size())) << ">";
}
