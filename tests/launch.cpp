#include "tests/launch.h"

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
