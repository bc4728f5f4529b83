// Decoding one member: header, token stream, length check and file time.
//
// Without progress reports the token stream is decoded a group at a time
// from a block of token bytes into a linear window of output; with progress
// reports, one byte at a time through the stream, so that every reported
// byte has already reached it. Both read the same tokens the same way.
#include <cstring>

#include "file_time.h"
#include "lzss.h"
#include "member_header.h"
#include "stream_position.h"

namespace {

constexpr int RING_MASK = RING_SIZE - 1;
constexpr int GROUP_BYTES = 1 + 8 * 2;          // a flag byte and eight matches
constexpr int GROUP_OUTPUT = 8 * MAX_MATCH;     // the most a group can produce

int MatchPosition(std::uint8_t b0, std::uint8_t b1) { return b0 | ((b1 & 0xF0) << 4); }
int MatchLength(std::uint8_t b1) { return (b1 & 0x0F) + MATCH_THRESHOLD + 1; }

// The member's token bytes, read from the input in blocks but never beyond
// the header's PackedSize, so that the input stands exactly behind the
// member once every token byte has been fetched.
class TokenSource {
 public:
  TokenSource(FILE* input, std::uint32_t packedSize) : input_(input), unread_(packedSize) {}

  bool Fetch(std::uint8_t& byte) {
    if (next_ == end_ && !Ensure(1)) return false;
    byte = block_[next_++];
    return true;
  }

  // Makes at least `count` bytes available when the member has them.
  bool Ensure(std::size_t count) {
    if (end_ - next_ >= count) return true;
    if (unread_ == 0 || ended_) return false;
    std::memmove(block_, block_ + next_, end_ - next_);
    end_ -= next_;
    next_ = 0;
    std::size_t want = sizeof block_ - end_;
    if (want > unread_) want = unread_;
    std::size_t got = std::fread(block_ + end_, 1, want, input_);
    if (got < want) ended_ = true;
    unread_ -= static_cast<std::uint32_t>(got);
    taken_ += static_cast<std::uint32_t>(got);
    end_ += got;
    return end_ - next_ >= count;
  }

  const std::uint8_t* Data() const { return block_ + next_; }
  void Advance(std::size_t count) { next_ += count; }

  // Token bytes handed out so far.
  std::uint32_t Fetched() const { return taken_ - static_cast<std::uint32_t>(end_ - next_); }

 private:
  FILE* input_;
  std::uint32_t unread_;
  std::uint32_t taken_ = 0;
  bool ended_ = false;
  std::size_t next_ = 0;
  std::size_t end_ = 0;
  std::uint8_t block_[16 * 1024];
};

// Output without progress reports: the last 4096 bytes as history, then room
// for a large block of new bytes, which go to the stream in one write when
// the block is full. A match's ring position becomes a distance back from
// the write position, so that a copy can move eight bytes at a time.
class WindowSink {
 public:
  // Ring positions 0..4077 start as spaces, 4078..4095 as 0, and writing
  // starts at 4078: seen from there, distance d holds ring position
  // (4078 - d) & 4095.
  explicit WindowSink(FILE* output) : output_(output) {
    std::memset(window_, 0, RING_SIZE - RING_START);
    std::memset(window_ + RING_SIZE - RING_START, ' ', RING_START);
    next_ = start_ = window_ + RING_SIZE;
  }

  // Room for `count` more bytes without a flush.
  void Reserve(std::size_t count) {
    if (static_cast<std::size_t>(window_ + WINDOW_END - next_) < count) Flush(true);
  }

  void Literal(std::uint8_t c) { *next_++ = c; }
  const std::uint8_t* Cursor() const { return next_; }

  void Match(int position, int length) {
    int writePosition = (startRing_ + static_cast<int>(next_ - start_)) & RING_MASK;
    int distance = (writePosition - position) & RING_MASK;
    if (distance == 0) distance = RING_SIZE;
    const std::uint8_t* from = next_ - distance;
    std::uint8_t* to = next_;
    next_ += length;
    if (distance >= 8) {
      // Each eight-byte step reads only bytes written before it; the last
      // one may run past the match into the slack, which is rewritten later.
      for (int k = 0; k < length; k += 8) std::memcpy(to + k, from + k, 8);
    } else {
      for (int k = 0; k < length; ++k) to[k] = from[k];  // a short repeating pattern
    }
  }

  void Finish() { Flush(false); }

 private:
  static constexpr std::size_t BLOCK = 64 * 1024;
  static constexpr std::size_t WINDOW_END = RING_SIZE + BLOCK;
  static constexpr std::size_t SLACK = 8;

  void Flush(bool keepHistory) {
    std::size_t fresh = static_cast<std::size_t>(next_ - start_);
    if (fresh) std::fwrite(start_, 1, fresh, output_);
    startRing_ = (startRing_ + static_cast<int>(fresh)) & RING_MASK;
    if (keepHistory) {
      std::memmove(window_, next_ - RING_SIZE, RING_SIZE);
      next_ = start_ = window_ + RING_SIZE;
    } else {
      start_ = next_;
    }
  }

  FILE* output_;
  std::uint8_t* start_;        // first byte not yet handed to the stream
  std::uint8_t* next_;         // where the next byte goes
  int startRing_ = RING_START;  // the ring position of *start_
  std::uint8_t window_[WINDOW_END + SLACK];
};

// Both loops return true when they stopped because a token would produce
// a byte beyond `limit`, false when the token bytes ran out.
bool RunTokensFast(TokenSource& source, WindowSink& sink, std::uint64_t limit) {
  std::uint64_t room = limit;  // bytes the member may still produce
  unsigned flags = 0;
  for (;;) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      if (room >= GROUP_OUTPUT && source.Ensure(GROUP_BYTES)) {
        // A whole group is there: eight tokens without a check per byte.
        sink.Reserve(GROUP_OUTPUT);
        const std::uint8_t* groupStart = sink.Cursor();
        const std::uint8_t* in = source.Data();
        unsigned groupFlags = *in++;
        for (int t = 0; t < 8; ++t, groupFlags >>= 1) {
          if (groupFlags & 1) {
            sink.Literal(*in++);
          } else {
            sink.Match(MatchPosition(in[0], in[1]), MatchLength(in[1]));
            in += 2;
          }
        }
        source.Advance(static_cast<std::size_t>(in - source.Data()));
        room -= static_cast<std::uint64_t>(sink.Cursor() - groupStart);
        continue;
      }
      std::uint8_t flagByte;
      if (!source.Fetch(flagByte)) return false;
      flags = flagByte | 0xFF00u;
    }
    // The member's last bytes, or its last bytes of room: token by token,
    // each fetch checked.
    sink.Reserve(MAX_MATCH);
    std::uint8_t b0, b1;
    if (flags & 1) {
      if (!source.Fetch(b0)) return false;
      if (room == 0) return true;
      sink.Literal(b0);
      --room;
    } else {
      if (!source.Fetch(b0) || !source.Fetch(b1)) return false;
      int length = MatchLength(b1);
      if (room < static_cast<std::uint64_t>(length)) {
        sink.Match(MatchPosition(b0, b1), static_cast<int>(room));
        return true;
      }
      sink.Match(MatchPosition(b0, b1), length);
      room -= static_cast<std::uint64_t>(length);
    }
  }
}

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

 private:
  TLZSS& codec_;
  FILE* output_;
  int position_ = RING_START;
};

bool RunTokensReporting(TokenSource& source, const std::uint8_t* ring, ProgressSink& sink, std::uint64_t limit) {
  std::uint64_t room = limit;
  unsigned flags = 0;
  for (;;) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      std::uint8_t flagByte;
      if (!source.Fetch(flagByte)) return false;
      flags = flagByte | 0xFF00u;
    }
    std::uint8_t b0, b1;
    if (flags & 1) {
      if (!source.Fetch(b0)) return false;
      if (room == 0) return true;
      sink.Put(b0);
      --room;
    } else {
      if (!source.Fetch(b0) || !source.Fetch(b1)) return false;
      int position = MatchPosition(b0, b1);
      // Byte by byte: a match may overlap the bytes it is producing.
      for (int k = 0; k < MatchLength(b1); ++k, --room) {
        if (room == 0) return true;
        sink.Put(ring[(position + k) & RING_MASK]);
      }
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
  ReadMemberHeaderAfterMagic(input, header);
  UnpackedSize = header.UnpackedSize;
  PackedSize = header.PackedSize;
  if (UnpackedSize == 0) return 1;

  TokenSource source(input, PackedSize);
  // Without the flag no member comes near the limit: 4 GiB of token bytes
  // produce less than 40 GiB.
  const std::uint64_t limit = LimitToUnpackedSize ? UnpackedSize : UINT64_MAX;
  bool overran;
  if (ProgressEnabled) {
    std::memset(RingBuffer, ' ', RING_START);
    // Positions a valid stream writes before it reads them; zeroed so that a
    // damaged one decodes the same way every time.
    std::memset(RingBuffer + RING_START, 0, RING_SIZE - RING_START);
    ProgressSink sink(*this, output);
    overran = RunTokensReporting(source, RingBuffer, sink, limit);
  } else {
    WindowSink sink(output);
    overran = RunTokensFast(source, sink, limit);
    sink.Finish();
  }
  // The fetch that failed counts too; a stop at the limit fetched no more.
  ConsumedCount = source.Fetched() + (overran ? 0 : 1);

  // The closing flush, the measurement and the time act on the object's own
  // output; a caller that passed another stream still gets a definite answer.
  FILE* measured = OutputStream ? OutputStream : output;
  std::fflush(measured);
  StreamSeek(measured, 0, SEEK_END);
  std::int64_t length = StreamTell(measured);
  SetStreamFileTime(measured, header.PackedTime());
  return !overran && length == static_cast<std::int64_t>(UnpackedSize) ? 1 : 0;
}
