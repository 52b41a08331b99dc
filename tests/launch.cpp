#include "tests/launch.h"

#include <tlhelp32.h>

bool LaunchQuietly(const std::wstring& path, const std::wstring& arguments, const wchar_t* environment,
                   PROCESS_INFORMATION* started) {
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  std::wstring directory = path.substr(0, path.rfind(L'\\'));
  *started = PROCESS_INFORMATION();
  BOOL ok = CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                           environment ? CREATE_UNICODE_ENVIRONMENT : 0, const_cast<wchar_t*>(environment),
                           directory.c_str(), &startup, started);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!ok) return false;
  CloseHandle(started->hThread);
  started->hThread = nullptr;
  return true;
}

std::vector<ProcessEntry> Processes() {
  std::vector<ProcessEntry> all;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return all;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    all.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
  CloseHandle(snapshot);
  return all;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& name) {
  std::vector<DWORD> ids;
  for (const ProcessEntry& p : Processes())
    if (lstrcmpiW(p.name.c_str(), name.c_str()) == 0) ids.push_back(p.id);
  return ids;
}
