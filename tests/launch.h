// Starting a program from a test or bench driver.
#pragma once

#include <windows.h>

#include <string>

// Starts path in its own folder, with the null device for its standard
// streams: under Wine a child holding its parent's pipe keeps whoever reads
// that pipe waiting after the parent has gone. environment may be null for
// the caller's own. The thread handle is closed; false when it cannot start.
bool LaunchQuietly(const std::wstring& path, const std::wstring& arguments, const wchar_t* environment,
                   PROCESS_INFORMATION* started);
