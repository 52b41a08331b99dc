#include "text/buffer.h"

#include <stdlib.h>
#include <string.h>

unsigned char Bytes::empty_[2] = {0, 0};

namespace {

// Allocation failure leaves nothing sensible to do in a program this small:
// stop at once rather than run on with a half-made buffer.
unsigned char* Allocate(size_t size) {
  auto* p = static_cast<unsigned char*>(calloc(size + 2, 1));
  if (!p) abort();
  return p;
}

}  // namespace

Bytes::Bytes(size_t size) : size_(size) {
  if (size) bytes_ = Allocate(size);
}

Bytes::Bytes(const void* data, size_t size) : Bytes(size) {
  if (size) memcpy(bytes_, data, size);
}

Bytes::Bytes(const Bytes& other) : Bytes(other.bytes_, other.size_) {}

Bytes::Bytes(Bytes&& other) noexcept : bytes_(other.bytes_), size_(other.size_) {
  other.bytes_ = nullptr;
  other.size_ = 0;
}

Bytes& Bytes::operator=(Bytes other) noexcept {
  unsigned char* b = bytes_;
  bytes_ = other.bytes_;
  other.bytes_ = b;
  size_t s = size_;
  size_ = other.size_;
  other.size_ = s;
  return *this;
}

Bytes::~Bytes() { free(bytes_); }

Bytes Bytes::Prefix(size_t count) const {
  return Bytes(bytes_, count < size_ ? count : size_);
}

void Bytes::Append(const void* data, size_t size) {
  if (!size) return;
  Bytes joined(size_ + size);
  if (size_) memcpy(joined.bytes_, bytes_, size_);
  memcpy(joined.bytes_ + size_, data, size);
  *this = static_cast<Bytes&&>(joined);
}

bool operator==(const Bytes& a, const Bytes& b) {
  return a.size() == b.size() && memcmp(a.data(), b.data(), a.size()) == 0;
}

Text::Text(const char* chars) : Text(chars, chars ? strlen(chars) : 0) {}

Text::Text(const char* chars, size_t size) : bytes_(chars, chars ? size : 0) {}

Text& Text::operator+=(const Text& tail) {
  bytes_.Append(tail.c_str(), tail.size());
  return *this;
}

Text operator+(Text head, const Text& tail) {
  head += tail;
  return head;
}

bool operator==(const Text& a, const Text& b) {
  return a.size() == b.size() && memcmp(a.c_str(), b.c_str(), a.size()) == 0;
}
