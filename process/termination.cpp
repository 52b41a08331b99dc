#include "platform/bindings.h"
#include "platform/handle.h"
#include "process/process.h"

bool TerminateProcessById(DWORD processId) {
  // The calling process is reached through its pseudo-handle, which is never
  // opened or closed (and has the value of INVALID_HANDLE_VALUE).
  if (processId == 0) return kernel32.TerminateProcess(kernel32.GetCurrentProcess(), 0) != FALSE;

  ScopedHandle process(kernel32.OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (!process.valid()) return false;
  return kernel32.TerminateProcess(process.get(), 0) != FALSE;
}

bool KillProcessByName(const Text& name) {
  DWORD processId = FindProcessId(name);
  // 0 would select this very process.
  return processId != 0 && TerminateProcessById(processId);
}
