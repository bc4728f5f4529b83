#include "container/token_check.h"

#include <vector>

#include "lzss.h"

namespace {

class TokenReader {
 public:
  TokenReader(FILE* in, std::uint32_t packedSize, std::atomic<std::uint64_t>* bytesRead)
      : in_(in), left_(packedSize), bytesRead_(bytesRead), block_(1 << 16) {}

  bool Fetch(std::uint8_t& byte) {
    if (next_ == end_ && !Refill()) return false;
    byte = block_[next_++];
    ++consumed_;
    return true;
  }
  std::uint64_t Consumed() const { return consumed_; }

 private:
  bool Refill() {
    if (left_ == 0) return false;
    std::size_t want = left_ < block_.size() ? left_ : block_.size();
    std::size_t got = std::fread(block_.data(), 1, want, in_);
    left_ = got < want ? 0 : left_ - got;
    if (bytesRead_) *bytesRead_ += got;
    next_ = 0;
    end_ = got;
    return got > 0;
  }

  FILE* in_;
  std::uint64_t left_;
  std::atomic<std::uint64_t>* bytesRead_;
  std::vector<std::uint8_t> block_;
  std::size_t next_ = 0;
  std::size_t end_ = 0;
  std::uint64_t consumed_ = 0;
};

}  // namespace

TokenCheck CheckTokenStream(FILE* in, const MemberHeader& header, std::uint64_t tokenOffset,
                            std::atomic<std::uint64_t>* bytesRead) {
  TokenCheck check;
  if (header.UnpackedSize == 0) {  // Decode stops after the header
    check.Ok = true;
    return check;
  }
  TokenReader reader(in, header.PackedSize, bytesRead);
  const std::uint64_t expected = header.UnpackedSize;
  std::uint64_t produced = 0;
  unsigned flags = 0;
  auto fail = [&](std::uint64_t at, std::string what) {
    check.Offset = tokenOffset + at;
    check.What = std::move(what);
    check.Produced = produced;
    return check;
  };

  for (;;) {
    std::uint64_t tokenStart = reader.Consumed();
    bool freshFlags = false;
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      std::uint8_t flagByte;
      if (!reader.Fetch(flagByte)) break;
      flags = flagByte | 0xFF00u;
      freshFlags = true;
    }
    // Running out at a token's first byte is the normal end, unless a flag
    // byte was just fetched for it: the encoder never ends on one.
    std::uint8_t first;
    if (!reader.Fetch(first)) {
      if (freshFlags)
        return fail(tokenStart, "the token stream ends with a flag byte and no token behind it");
      break;
    }
    if (flags & 1) {
      ++produced;
    } else {
      std::uint8_t second;
      if (!reader.Fetch(second))
        return fail(tokenStart, "the token stream ends inside a token, which the preloader drops");
      unsigned position = first | ((second & 0xF0u) << 4);
      unsigned length = (second & 0x0Fu) + MATCH_THRESHOLD + 1;
      // Ring positions from RING_START on hold nothing meaningful until the
      // stream has written them; only damage copies from there.
      for (unsigned k = 0; k < length && produced + k < RING_SIZE - RING_START; ++k) {
        unsigned source = (position + k) & (RING_SIZE - 1);
        if (source >= RING_START && source - RING_START >= produced + k)
          return fail(tokenStart, "a match copies ring bytes that no token has written yet");
      }
      produced += length;
    }
    if (produced > expected)
      return fail(tokenStart,
                  "decodes to more than the " + std::to_string(expected) + " bytes the header announces");
  }
  if (produced != expected)
    return fail(reader.Consumed(), "decodes to " + std::to_string(produced) +
                                       " bytes, the header announces " + std::to_string(expected));
  check.Ok = true;
  check.Produced = produced;
  return check;
}
