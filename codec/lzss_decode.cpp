// Decoding one member: header, token stream, length check and file time.
#include <cstring>

#include "file_time.h"
#include "lzss.h"
#include "member_header.h"
#include "stream_position.h"

namespace {

constexpr int RING_MASK = RING_SIZE - 1;

// The member's token bytes, read from the input in blocks but never beyond
// the header's PackedSize, so that the input stands exactly behind the
// member once every token byte has been fetched.
class TokenSource {
 public:
  TokenSource(FILE* input, std::uint32_t packedSize) : input_(input), unread_(packedSize) {}

  bool Fetch(std::uint8_t& byte) {
    if (next_ == end_ && !Refill()) return false;
    byte = block_[next_++];
    return true;
  }

  // Token bytes handed out so far.
  std::uint32_t Fetched() const { return taken_ - static_cast<std::uint32_t>(end_ - next_); }

 private:
  bool Refill() {
    if (unread_ == 0 || ended_) return false;
    std::size_t want = unread_ < sizeof block_ ? unread_ : sizeof block_;
    std::size_t got = std::fread(block_, 1, want, input_);
    if (got < want) ended_ = true;
    unread_ -= static_cast<std::uint32_t>(got);
    taken_ += static_cast<std::uint32_t>(got);
    next_ = 0;
    end_ = got;
    return got > 0;
  }

  FILE* input_;
  std::uint32_t unread_;
  std::uint32_t taken_ = 0;
  bool ended_ = false;
  std::size_t next_ = 0;
  std::size_t end_ = 0;
  std::uint8_t block_[4096];
};

// Output without progress reports: the ring itself is the output buffer and
// goes to the stream whenever the write position wraps.
class RingSink {
 public:
  RingSink(std::uint8_t* ring, FILE* output) : ring_(ring), output_(output) {}

  void Put(std::uint8_t c) {
    ring_[position_] = c;
    if (++position_ == RING_SIZE) {
      std::fwrite(ring_ + flushed_, 1, static_cast<std::size_t>(RING_SIZE - flushed_), output_);
      flushed_ = 0;
      position_ = 0;
    }
  }

  void Finish() {
    if (position_ > flushed_)
      std::fwrite(ring_ + flushed_, 1, static_cast<std::size_t>(position_ - flushed_), output_);
  }

 private:
  std::uint8_t* ring_;
  FILE* output_;
  int position_ = RING_START;
  int flushed_ = RING_START;
};

// Output with a progress report after every byte that reaches the stream.
class ProgressSink {
 public:
  ProgressSink(TLZSS& codec, FILE* output) : codec_(codec), output_(output) {}

  void Put(std::uint8_t c) {
    std::fputc(c, output_);
    codec_.Progress(codec_.ProgressCount, codec_.UnpackedSize);
    ++codec_.ProgressCount;
    codec_.RingBuffer[position_] = c;
    position_ = (position_ + 1) & RING_MASK;
  }

  void Finish() {}

 private:
  TLZSS& codec_;
  FILE* output_;
  int position_ = RING_START;
};

// Runs the token stream until a fetch fails: at PackedSize bytes or at the
// end of the input. A token whose bytes are not all there is dropped whole.
template <class Sink>
void RunTokens(TokenSource& source, const std::uint8_t* ring, Sink& sink) {
  unsigned flags = 0;
  for (;;) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      std::uint8_t flagByte;
      if (!source.Fetch(flagByte)) return;
      flags = flagByte | 0xFF00u;
    }
    if (flags & 1) {
      std::uint8_t literal;
      if (!source.Fetch(literal)) return;
      sink.Put(literal);
    } else {
      std::uint8_t b0, b1;
      if (!source.Fetch(b0) || !source.Fetch(b1)) return;
      int position = b0 | ((b1 & 0xF0) << 4);
      int length = (b1 & 0x0F) + MATCH_THRESHOLD + 1;
      // Byte by byte: a match may overlap the bytes it is producing.
      for (int k = 0; k < length; ++k) sink.Put(ring[(position + k) & RING_MASK]);
    }
  }
}

}  // namespace

int TLZSS::Decode(FILE* input, FILE* output) {
  ProgressCount = 0;
  ConsumedCount = 0;
  if (!input || !output || !HasArrays()) return 0;

  MemberHeader header;
  ReadLittleEndian(input, 4, header.Magic);
  if (header.Magic != MEMBER_MAGIC) return 0;
  std::uint32_t fields[6];
  for (std::uint32_t& field : fields) ReadLittleEndian(input, 4, field);
  header.TwoSeconds = static_cast<std::int32_t>(fields[0]);
  header.Minute = static_cast<std::int32_t>(fields[1]);
  header.Hour = static_cast<std::int32_t>(fields[2]);
  header.Day = static_cast<std::int32_t>(fields[3]);
  header.Month = static_cast<std::int32_t>(fields[4]);
  header.Year = static_cast<std::int32_t>(fields[5]);
  ReadLittleEndian(input, 4, UnpackedSize);
  ReadLittleEndian(input, 4, PackedSize);
  if (UnpackedSize == 0) return 1;

  std::memset(RingBuffer, ' ', RING_START);
  // Positions a valid stream writes before it reads them; zeroed so that a
  // damaged one decodes the same way every time.
  std::memset(RingBuffer + RING_START, 0, RING_SIZE - RING_START);

  TokenSource source(input, PackedSize);
  if (ProgressEnabled) {
    ProgressSink sink(*this, output);
    RunTokens(source, RingBuffer, sink);
  } else {
    RingSink sink(RingBuffer, output);
    RunTokens(source, RingBuffer, sink);
    sink.Finish();
  }
  ConsumedCount = source.Fetched() + 1;  // the fetch that failed counts too

  // The closing flush, the measurement and the time act on the object's own
  // output; a caller that passed another stream still gets a definite answer.
  FILE* measured = OutputStream ? OutputStream : output;
  std::fflush(measured);
  StreamSeek(measured, 0, SEEK_END);
  std::int64_t length = StreamTell(measured);
  SetStreamFileTime(measured, header.PackedTime());
  return length == static_cast<std::int64_t>(UnpackedSize) ? 1 : 0;
}
