// Writing a member: the header with placeholder sizes, the token stream in
// groups of a flag byte and up to eight tokens, and the sizes patched in.
#pragma once

#include <cstdint>
#include <cstdio>

// Writes the magic and the input file's time (zeros when it cannot be read)
// and placeholders for the sizes; returns where the sizes go.
std::int64_t BeginMember(FILE* input, FILE* output);

// Patches the sizes and leaves the output at the member's end.
void EndMember(FILE* output, std::int64_t sizePosition, std::uint32_t unpackedSize,
               std::uint32_t packedSize);

class TokenWriter {
 public:
  explicit TokenWriter(FILE* output) : output_(output) {}

  void Literal(std::uint8_t c) {
    code_[0] |= mask_;
    code_[fill_++] = c;
    Next();
  }

  // position: a ring position 0..4095; length: 3..18.
  void Match(int position, int length) {
    code_[fill_++] = static_cast<std::uint8_t>(position & 0xFF);
    code_[fill_++] = static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - 3));
    Next();
  }

  // Writes a last, short group; a stream never ends in a bare flag byte.
  void Finish() {
    if (fill_ > 1) Flush();
  }

  std::uint32_t Written() const { return written_; }

 private:
  void Next() {
    mask_ = static_cast<std::uint8_t>(mask_ << 1);
    if (mask_ == 0) Flush();
  }

  void Flush() {
    std::fwrite(code_, 1, static_cast<std::size_t>(fill_), output_);
    written_ += static_cast<std::uint32_t>(fill_);
    code_[0] = 0;
    fill_ = 1;
    mask_ = 1;
  }

  FILE* output_;
  std::uint8_t code_[17] = {0};
  int fill_ = 1;
  std::uint8_t mask_ = 1;
  std::uint32_t written_ = 0;
};
