// Helpers shared by the test programs: real processes, scratch folders, a
// handle counter, and readable printing of the program's byte strings.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

#include "text/buffer.h"

// These call Windows through the import table, not the binding tables, so
// they keep working while a test has swapped an entry for a fake.

// Handles open in this process. Wine's GetProcessHandleCount is a stub, so
// this probes every handle value instead. GoogleTest opens one the first time
// a thread uses SCOPED_TRACE: take the count after it, not before.
int OpenHandleCount();

// The count once it is back at expected, or after two seconds: work the
// system started for a call (a thread of its own, say) may hold a handle a
// moment after the call returns, where a leak never gives it back.
int SettledHandleCount(int expected);

// The open handles by kind, such as "Event*3 File*2 Key*10", to tell which
// kind a count that went wrong is made of.
std::string OpenHandleKinds();

// A new, empty folder under the temporary folder, deleted with all it holds
// when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& path() const { return path_; }  // drive-letter path, no trailing backslash

 private:
  std::wstring path_;
};

// A copy of sleeper.exe named fileName (say L"Fiddler.exe") in a folder of
// its own, running until the object goes; then it is ended and deleted.
class HelperProcess {
 public:
  explicit HelperProcess(const std::wstring& fileName);
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_; }
  const std::wstring& path() const { return path_; }

  // True when the process has ended within timeoutMs; then *exitCode holds its code.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode) const;

 private:
  TempFolder folder_;
  std::wstring path_;
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// Code page 936 forms of wide strings and back, for building inputs and
// expected values.
std::string To936(const std::wstring& wide);
std::wstring From936(const std::string& bytes);

// The bytes as text, such as "61 00 62 00", and back.
std::string Hex(const Bytes& bytes);
Bytes FromHex(const std::string& hex);
inline Bytes AsBytes(const std::string& bytes) { return Bytes(bytes.data(), bytes.size()); }
inline Text AsText(const std::string& bytes) { return Text(bytes.data(), bytes.size()); }
inline std::wstring AsWide(const WideBuffer& wide) {
  return std::wstring(reinterpret_cast<const wchar_t*>(wide.data()), wide.size() / 2);
}

// How GoogleTest prints the values in failure messages.
void PrintTo(const Bytes& bytes, std::ostream* out);
void PrintTo(const Text& text, std::ostream* out);
