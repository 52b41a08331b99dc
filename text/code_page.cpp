#include "platform/bindings.h"
#include "text/text.h"

namespace {

const unsigned char kZeroUnit[2] = {0, 0};

// A copy of wide with one zero unit behind it, for calls that read up to the
// first zero unit: a caller's buffer need not be terminated, nor even-sized.
WideBuffer Terminated(const WideBuffer& wide) {
  WideBuffer copy(wide);
  copy.Append(kZeroUnit, sizeof kZeroUnit);
  return copy;
}

}  // namespace

WideBuffer AnsiToWide(const Bytes& bytes) {
  // Bytes keeps a zero byte behind its contents, so the source is terminated.
  const char* source = reinterpret_cast<const char*>(bytes.data());
  if (msvcrt.strlen(source) == 0) return WideBuffer();
  int units = kernel32.MultiByteToWideChar(kTextCodePage, 0, source, -1, nullptr, 0);
  if (units <= 0) return WideBuffer();
  WideBuffer wide(2 * static_cast<size_t>(units));
  kernel32.MultiByteToWideChar(kTextCodePage, 0, source, -1, reinterpret_cast<wchar_t*>(wide.data()), units);
  return wide;
}

Bytes WideToAnsi(const WideBuffer& wide) {
  WideBuffer source = Terminated(wide);
  const wchar_t* units = WideChars(source);
  if (kernel32.lstrlenW(units) == 0) return Bytes();
  int size = kernel32.WideCharToMultiByte(kTextCodePage, 0, units, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return Bytes();
  Bytes bytes(static_cast<size_t>(size));
  kernel32.WideCharToMultiByte(kTextCodePage, 0, units, -1, reinterpret_cast<char*>(bytes.data()), size,
                               nullptr, nullptr);
  // Without the platform's terminator; all zeros when the conversion failed.
  return bytes.Prefix(msvcrt.strlen(reinterpret_cast<const char*>(bytes.data())));
}

WideBuffer TextToWide(const Text& text) { return AnsiToWide(Bytes(text.c_str(), text.size())); }

Text WideToText(const WideBuffer& wide) {
  Bytes bytes = WideToAnsi(wide);
  return Text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

WideBuffer WideShortPath(const WideBuffer& wide) {
  if (wide.empty()) return WideBuffer();
  WideBuffer source = Terminated(wide);
  const wchar_t* path = WideChars(source);
  DWORD units = kernel32.GetShortPathNameW(path, nullptr, 0);
  if (units == 0) return WideBuffer();
  WideBuffer shortPath(2 * static_cast<size_t>(units));
  // A path that changed in between fails here and leaves only zero units.
  kernel32.GetShortPathNameW(path, reinterpret_cast<wchar_t*>(shortPath.data()), units);
  return shortPath;
}

Text ShortPathOf(const Text& path) { return WideToText(WideShortPath(TextToWide(path))); }
