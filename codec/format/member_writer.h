// Writing a member: the header with placeholder sizes, the token stream in
// groups of a flag byte and up to eight tokens, and the sizes patched in.
#pragma once

#include <cstdint>
#include <cstdio>

// Writes the magic and the input file's time (zeros when it cannot be read)
// and placeholders for the sizes; returns where the sizes go.
std::int64_t BeginMember(FILE* input, FILE* output);

// Patches the sizes and leaves the output at the member's end.
void EndMember(FILE* output, std::int64_t sizePosition, std::uint32_t unpackedSize, std::uint32_t packedSize);

// The token stream in groups of a flag byte and up to eight tokens. Groups
// collect in a block that goes to the stream in one write, not one write
// of up to 17 bytes each.
class TokenWriter {
 public:
  explicit TokenWriter(FILE* output) : output_(output) { StartGroup(); }

  void Literal(std::uint8_t c) {
    block_[flag_] |= mask_;
    block_[next_++] = c;
    Next();
  }

  // position: a ring position 0..4095; length: 3..18.
  void Match(int position, int length) {
    block_[next_++] = static_cast<std::uint8_t>(position & 0xFF);
    block_[next_++] = static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - 3));
    Next();
  }

  // Writes what is left, with a last, short group; a stream never ends in a
  // bare flag byte.
  void Finish() {
    if (next_ > flag_ + 1) {
      written_ += static_cast<std::uint32_t>(next_ - flag_);
    } else {
      next_ = flag_;
    }
    WriteBlock();
  }

  // Token bytes of the complete groups so far.
  std::uint32_t Written() const { return written_; }

 private:
  static constexpr std::size_t BLOCK = 4096;
  static constexpr std::size_t GROUP = 17;

  void Next() {
    mask_ = static_cast<std::uint8_t>(mask_ << 1);
    if (mask_ == 0) EndGroup();
  }

  void EndGroup() {
    written_ += static_cast<std::uint32_t>(next_ - flag_);
    if (next_ > BLOCK - GROUP) WriteBlock();
    StartGroup();
  }

  void StartGroup() {
    flag_ = next_;
    block_[next_++] = 0;
    mask_ = 1;
  }

  void WriteBlock() {
    if (next_) std::fwrite(block_, 1, next_, output_);
    next_ = 0;
  }

  FILE* output_;
  std::uint8_t block_[BLOCK];
  std::size_t flag_ = 0;  // where the current group's flag byte is
  std::size_t next_ = 0;  // where the next byte goes
  std::uint8_t mask_ = 1;
  std::uint32_t written_ = 0;
};
