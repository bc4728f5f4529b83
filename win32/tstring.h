// TString: the character string of the staging code. Paths, names and the
// installer's command line are built in it.
//
// The preloader carries no C++ runtime, so this is a small string of its own
// on the C heap. When memory for a longer text cannot be had, the string
// becomes empty and ignores further appends until it is assigned anew: a
// path that lost a piece must never name another file, and the empty path
// names none.
#pragma once

#include <cstddef>
#include <cstdint>

class TString {
 public:
  TString() = default;
  TString(const char* text);  // NOLINT: converts, like the literals it is built from
  TString(const TString& other);
  TString(TString&& other) noexcept;
  ~TString();

  TString& operator=(const char* text);
  TString& operator=(const TString& other);
  TString& operator=(TString&& other) noexcept;

  // Always zero-terminated; "" for an empty string.
  const char* c_str() const { return data_ ? data_ : ""; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // `length` bytes of `text`, zero bytes included.
  TString& Append(const char* text, std::size_t length);
  TString& operator+=(const char* text);
  TString& operator+=(const TString& text);
  // Decimal digits without sign, leading zeros or separators.
  TString& AppendDecimal(std::uint32_t value);

  // Keeps the first `length` bytes (all of them when there are fewer).
  void Truncate(std::size_t length);

 private:
  bool Reserve(std::size_t length);
  void Fail();

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;  // bytes at data_, the terminator's included
  bool failed_ = false;       // an allocation failed since the last assignment
};

// Paths are joined as root + StagingDirName + name.
TString operator+(TString left, const char* right);
TString operator+(TString left, const TString& right);
