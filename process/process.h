// Finding, ending and locating running processes by executable name.
#pragma once

#include <windows.h>

#include "text/buffer.h"

// True when a process whose executable name equals name (letter case
// ignored) is in a fresh snapshot of the system's processes.
bool ProcessExists(const Text& name);

// Identifier of the first such process in snapshot order; 0 when there is
// none or the snapshot cannot be taken.
DWORD FindProcessId(const Text& name);

// Ends the process with exit code 0; 0 selects the calling process, which
// then never returns. True when TerminateProcess reports success.
bool TerminateProcessById(DWORD processId);

// Ends the first process named name. False when none runs or it cannot be ended.
bool KillProcessByName(const Text& name);

// Drive-letter path of the process's executable in UTF-16 with one zero unit
// (0 selects the calling process); empty when it cannot be read or mapped.
WideBuffer GetProcessImagePath(DWORD processId);
