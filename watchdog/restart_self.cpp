#include "app/startup.h"
#include "platform/bindings.h"
#include "platform/handle.h"
#include "process/process.h"
#include "text/text.h"
#include "watchdog/watchdog.h"

namespace {

// Waits two pings, starts the program again and deletes itself.
const char kRestartBatchTemplate[] =
    "@echo off \r\n@ping 127.0.0.1 -n 秒数 >nul\r\nstart \"\" \"<文件名>\"\r\ndel Restart.bat";
const char kDelay[] = "2";

// Replaces the first occurrence of what in text, matching only at character
// boundaries of code page 936.
Text ReplaceFirst(const Text& text, const Text& what, const Text& with) {
  for (size_t i = 0; i + what.size() <= text.size(); ++i) {
    if (memcmp(text.c_str() + i, what.c_str(), what.size()) == 0)
      return Text(text.c_str(), i) + with + Text(text.c_str() + i + what.size());
    if (static_cast<unsigned char>(text[i]) >= 0x80) ++i;
  }
  return text;
}

bool WriteWholeFile(const Text& path, const Text& contents) {
  ScopedHandle file(kernel32.CreateFileW(WideChars(TextToWide(path)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  return kernel32.WriteFile(file.get(), contents.c_str(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
         written == contents.size();
}

// Starts the batch hidden, in the run directory so that its last line
// deletes the very file it came from. The path is quoted: a run directory
// with blanks must not start some other program.
bool StartHidden(const Text& batchPath, const Text& directory) {
  WideBuffer commandLine = TextToWide("\"" + batchPath + "\"");  // writable, as CreateProcess wants
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started = {};
  if (!kernel32.CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr, FALSE, 0,
                               nullptr, WideChars(TextToWide(directory)), &startup, &started))
    return false;
  ScopedHandle process(started.hProcess);
  ScopedHandle thread(started.hThread);
  user32.WaitForInputIdle(process.get(), 1000);
  return true;
}

}  // namespace

Text RestartBatchText(const Text& executablePath) {
  return ReplaceFirst(ReplaceFirst(kRestartBatchTemplate, "<文件名>", executablePath), "秒数", kDelay);
}

void RestartSelf() {
  Text ownPath = OwnPath();
  WIN32_FIND_DATAW found;
  HANDLE search = kernel32.FindFirstFileW(WideChars(TextToWide(ownPath)), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  kernel32.FindClose(search);

  // Without a short form the long path still starts the program.
  Text shortPath = ShortPathOf(ownPath);
  Text batch = RestartBatchText(shortPath.empty() ? ownPath : shortPath);
  Text batchPath = RunDirectory + "\\Restart.bat";
  // Never end ourselves without a restart on its way: on failure the
  // countdown goes on and the next cycle tries again.
  if (!WriteWholeFile(batchPath, batch) || !StartHidden(batchPath, RunDirectory)) return;
  TerminateProcessById(0);
}
