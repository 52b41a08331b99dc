// Owns a kernel handle and closes it through the binding table when it goes
// out of scope, on every path. NULL and INVALID_HANDLE_VALUE both mean "no
// handle": Toolhelp fails with the one, OpenProcess with the other.
#pragma once

#include "platform/bindings.h"

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~ScopedHandle() {
    if (valid()) kernel32.CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};
