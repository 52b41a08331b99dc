#include "platform/bindings.h"
#include "text/text.h"

Text FileNameFromPath(const Text& path) {
  const char* name = shlwapi.PathFindFileNameA(path.c_str());
  if (!name) return Text();
  size_t size = msvcrt.strlen(name);
  // The last byte alone decides, even when it is the second byte of a
  // double-byte character: a name must not end in a backslash.
  if (size > 0 && name[size - 1] == '\\') return Text();
  return Text(name, size);
}
