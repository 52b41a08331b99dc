#include "platform/bindings.h"
#include "platform/handle.h"
#include "process/process.h"

namespace {

// Units the platform may write into a path or device buffer. The buffers
// hold one unit more, which stays zero behind the longest reply.
constexpr DWORD kCapacity = MAX_PATH;
constexpr size_t kBufferBytes = 2 * (kCapacity + 1);

// The image path in NT device form with one zero unit, or a lone zero unit
// when it cannot be read; empty when the process cannot be opened.
Bytes ReadImageFileName(DWORD processId) {
  bool self = processId == 0;
  // The calling process's pseudo-handle is used as it is and never closed.
  ScopedHandle opened(self ? nullptr : kernel32.OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!self && !opened.valid()) return Bytes();
  HANDLE process = self ? kernel32.GetCurrentProcess() : opened.get();

  Bytes path(kBufferBytes);
  DWORD units = psapi.GetProcessImageFileNameW(process, reinterpret_cast<wchar_t*>(path.data()), kCapacity);
  if (units > kCapacity) units = 0;
  return path.Prefix(2 * units + 2);
}

}  // namespace

WideBuffer GetProcessImagePath(DWORD processId) {
  Bytes image = ReadImageFileName(processId);
  if (image.empty()) return WideBuffer();

  Bytes device(kBufferBytes);
  wchar_t drive[3] = {L'@', L':', 0};
  for (int tries = 0; tries < 26; ++tries) {
    ++drive[0];
    DWORD m = kernel32.QueryDosDeviceW(drive, reinterpret_cast<wchar_t*>(device.data()), kCapacity);
    // m counts the name's zero unit and the list's. Below 3 there is no name,
    // and the lone backslash left would claim every path; above the capacity
    // the reply is not one we asked for.
    if (m < 3 || m > kCapacity) continue;

    // The name's zero unit becomes a backslash, so that ...Volume1 never
    // claims a path on ...Volume10. A second name keeps a zero unit inside
    // the prefix, which no path holds.
    device[2 * m - 4] = '\\';
    size_t prefix = 2 * m - 2;
    if (prefix > image.size() || image.Prefix(prefix) != device.Prefix(prefix)) continue;

    drive[2] = L'\\';
    WideBuffer result(drive, sizeof drive);
    result.Append(image.data() + prefix, image.size() - prefix);
    return result;
  }
  return WideBuffer();
}
