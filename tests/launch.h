// Starting and listing programs, for the test and bench drivers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Starts path in its own folder, with the null device for its standard
// streams: under Wine a child holding its parent's pipe keeps whoever reads
// that pipe waiting after the parent has gone. environment may be null for
// the caller's own. The thread handle is closed; false when it cannot start.
bool LaunchQuietly(const std::wstring& path, const std::wstring& arguments, const wchar_t* environment,
                   PROCESS_INFORMATION* started);

struct ProcessEntry {
  DWORD id;
  DWORD parent;
  std::wstring name;
};

// The system's processes, in snapshot order.
std::vector<ProcessEntry> Processes();

// Identifiers of the processes with that executable name, letter case ignored.
std::vector<DWORD> ProcessesNamed(const std::wstring& name);
