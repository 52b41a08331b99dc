// Owned byte strings: the program's texts (code page 936), byte buffers and
// UTF-16LE wide buffers. Plain values: copying copies the bytes, and every
// routine that returns one hands its caller a buffer of its own.
//
// They stand in for std::string and std::vector, which would pull the C++
// exception runtime into a program that never throws and quadruple its size.
#pragma once

#include <stddef.h>

// A run of bytes that carries its own length. The storage always holds one
// extra zero byte after the contents, so any buffer can be read as a
// zero-terminated string without a copy.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(size_t size);                 // size zero bytes
  Bytes(const void* data, size_t size);
  Bytes(const Bytes& other);
  Bytes(Bytes&& other) noexcept;
  Bytes& operator=(Bytes other) noexcept;
  ~Bytes();

  unsigned char* data() { return size_ ? bytes_ : empty_; }
  const unsigned char* data() const { return size_ ? bytes_ : empty_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  unsigned char& operator[](size_t i) { return bytes_[i]; }
  unsigned char operator[](size_t i) const { return bytes_[i]; }

  // The first count bytes as a new buffer (count is clipped to the size).
  Bytes Prefix(size_t count) const;
  void Append(const void* data, size_t size);

 private:
  unsigned char* bytes_ = nullptr;
  size_t size_ = 0;
  static unsigned char empty_[2];  // what an empty buffer reads as: a zero byte, or a zero unit
};

bool operator==(const Bytes& a, const Bytes& b);
inline bool operator!=(const Bytes& a, const Bytes& b) { return !(a == b); }

// A wide buffer is a byte buffer of UTF-16LE units; the ones the program
// makes end in one zero unit, which the length counts.
using WideBuffer = Bytes;

inline const wchar_t* WideChars(const WideBuffer& wide) {
  return reinterpret_cast<const wchar_t*>(wide.data());
}

// A zero-terminated byte string read as code page 936. Lengths are in bytes.
// An absent text and the empty text are the same value.
class Text {
 public:
  Text() = default;
  Text(const char* chars);  // NOLINT: texts are built from literals everywhere
  Text(const char* chars, size_t size);

  const char* c_str() const { return reinterpret_cast<const char*>(bytes_.data()); }
  size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  char operator[](size_t i) const { return static_cast<char>(bytes_[i]); }

  Text& operator+=(const Text& tail);

 private:
  Bytes bytes_;
};

Text operator+(Text head, const Text& tail);
bool operator==(const Text& a, const Text& b);
inline bool operator!=(const Text& a, const Text& b) { return !(a == b); }
