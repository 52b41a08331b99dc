// Swaps one entry of a binding table for the length of a scope, for tests:
//   ScopedOverride fail(kernel32.OpenProcess, FailingOpenProcess);
// The real entry is put back when the scope ends, whatever the test did.
#pragma once

template <class Entry>
class ScopedOverride {
 public:
  ScopedOverride(Entry& slot, Entry fake) : slot_(slot), saved_(slot) { slot_ = fake; }
  ~ScopedOverride() { slot_ = saved_; }
  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

  Entry real() const { return saved_; }

 private:
  Entry& slot_;
  Entry saved_;
};
