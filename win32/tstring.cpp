#include "tstring.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

TString::TString(const char* text) { *this = text; }

TString::TString(const TString& other) : failed_(other.failed_) { Append(other.data_, other.size_); }

TString::TString(TString&& other) noexcept
    : data_(other.data_), size_(other.size_), capacity_(other.capacity_), failed_(other.failed_) {
  other.data_ = nullptr;
  other.size_ = other.capacity_ = 0;
  other.failed_ = false;
}

TString::~TString() { std::free(data_); }

TString& TString::operator=(const char* text) {
  std::size_t length = text ? std::strlen(text) : 0;
  if (data_ && text >= data_ && text <= data_ + size_) {
    // A piece of this string itself: it moves to the front.
    std::memmove(data_, text, length);
    size_ = length;
    data_[size_] = '\0';
    return *this;
  }
  failed_ = false;
  Truncate(0);
  return Append(text, length);
}

TString& TString::operator=(const TString& other) {
  if (this == &other) return *this;
  failed_ = false;
  Truncate(0);
  Append(other.data_, other.size_);
  failed_ = other.failed_;
  return *this;
}

TString& TString::operator=(TString&& other) noexcept {
  if (this == &other) return *this;
  std::free(data_);
  data_ = other.data_;
  size_ = other.size_;
  capacity_ = other.capacity_;
  failed_ = other.failed_;
  other.data_ = nullptr;
  other.size_ = other.capacity_ = 0;
  other.failed_ = false;
  return *this;
}

TString& TString::Append(const char* text, std::size_t length) {
  if (failed_ || length == 0) return *this;
  if (length > SIZE_MAX / 2 - size_) {
    Fail();
    return *this;
  }
  // The text may be a piece of this string, which Reserve may move.
  bool own = data_ && text >= data_ && text <= data_ + size_;
  std::size_t ownOffset = own ? static_cast<std::size_t>(text - data_) : 0;
  if (!Reserve(size_ + length)) return *this;
  if (own) text = data_ + ownOffset;
  std::memmove(data_ + size_, text, length);
  size_ += length;
  data_[size_] = '\0';
  return *this;
}

TString& TString::operator+=(const char* text) { return Append(text, text ? std::strlen(text) : 0); }

TString& TString::operator+=(const TString& text) { return Append(text.data_, text.size_); }

TString& TString::AppendDecimal(std::uint32_t value) {
  char digits[10];
  std::size_t count = 0;
  do {
    digits[sizeof digits - 1 - count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return Append(digits + sizeof digits - count, count);
}

void TString::Truncate(std::size_t length) {
  if (length >= size_) return;
  size_ = length;
  data_[size_] = '\0';
}

bool TString::Reserve(std::size_t length) {
  if (length < capacity_) return true;
  std::size_t capacity = capacity_ * 2 > length + 1 ? capacity_ * 2 : length + 1;
  if (capacity < 32) capacity = 32;
  char* grown = static_cast<char*>(std::realloc(data_, capacity));
  if (!grown) {
    Fail();
    return false;
  }
  data_ = grown;
  capacity_ = capacity;
  return true;
}

void TString::Fail() {
  std::free(data_);
  data_ = nullptr;
  size_ = capacity_ = 0;
  failed_ = true;
}

TString operator+(TString left, const char* right) {
  left += right;
  return left;
}

TString operator+(TString left, const TString& right) {
  left += right;
  return left;
}
