// Decoding one member: header, token stream, length check and file time.
//
// Without progress reports the token stream is decoded in batches of whole
// groups: from a block of token bytes into a linear window of output, with
// the block's bytes and the window's room checked once per batch instead of
// once per byte. The member's last bytes, and the bytes just before the
// limit of LimitToUnpackedSize, go token by token with every fetch checked.
// With progress reports, one byte at a time through the stream, so that
// every reported byte has already reached it. All read the same tokens the
// same way.
#include <cstdlib>
#include <cstring>

#if defined(__i386__)
#include <cpuid.h>
#endif

#include "file_time.h"
#include "group_decoder.h"
#include "lzss.h"
#include "member_header.h"
#include "stream_position.h"
#include "stream_read.h"
#include "stream_write.h"

namespace {

constexpr std::uint64_t NO_LIMIT = ~std::uint64_t{0};

// The token bytes read at a time and the output written at a time: a
// 32 MiB member decodes some 8 % faster than with 64 KiB and 256 KiB;
// larger blocks gain a little more on large members but leave the
// processor's cache, which makes members of a few MiB slower. Too large for
// the stack of setuppack's threads, both live in one allocation of the
// codec's, made by its first Decode and kept for the next members.
constexpr std::size_t TOKEN_BLOCK = 128 * 1024;
constexpr std::size_t OUTPUT_BLOCK = 512 * 1024;
// A block is followed by the room a run of literals may read beyond the
// last token.
constexpr std::size_t TOKEN_AREA = TOKEN_BLOCK + RUN_SPAN;
constexpr std::size_t WINDOW_END = RING_SIZE + OUTPUT_BLOCK;
constexpr std::size_t WINDOW_AREA = WINDOW_END + COPY_SPAN;

unsigned MatchPosition(unsigned b0, unsigned b1) { return b0 | ((b1 & 0xF0) << 4); }
unsigned MatchLength(unsigned b1) { return (b1 & 0x0F) + MATCH_THRESHOLD + 1; }

// The member's bytes as Decode takes them, in one of two ways: from the
// input stream, or from a MemberSource. From a stream, the token bytes come
// in blocks, never beyond the header's PackedSize, so that the input stands
// exactly behind the member once every token byte has been fetched; from a
// file on a disk straight from the file, past the stream, which is put in
// place when the decoding is done (Settle).
class TokenSource {
 public:
  // `block` holds TOKEN_AREA bytes.
  TokenSource(FILE* input, MemberSource* source, std::uint8_t* block)
      : Next(block),
        End(block),
        block_(block),
        input_(input),
        source_(source),
        start_(source ? -1 : DirectReadStart(input)) {}

  // The bytes read and not yet handed out: [Next, End).
  const std::uint8_t* Next;
  const std::uint8_t* End;

  // The member's header and token bytes: `count` of them into `to`;
  // returns how many came.
  std::size_t ReadHeader(std::uint8_t* to, std::size_t count) {
    return source_ ? source_->Read(to, count) : std::fread(to, 1, count, input_);
  }
  void StartTokens(std::uint32_t packedSize) {
    unread_ = packedSize;
    if (!source_ && start_ >= 0) start_ = StreamTell(input_);
  }

  std::size_t Available() const { return static_cast<std::size_t>(End - Next); }

  bool Fetch(std::uint8_t& byte) {
    if (Next == End && !RefillForFetch()) return false;
    byte = *Next++;
    return true;
  }

  // Keeps the bytes not yet handed out and reads more behind them; false
  // when nothing more came.
  bool Refill() {
    if (unread_ == 0 || ended_) return false;
    std::size_t kept = Available();
    std::memmove(block_, Next, kept);
    std::size_t want = TOKEN_BLOCK - kept;
    if (want > unread_) want = unread_;
    std::uint8_t* to = block_ + kept;
    std::size_t got = source_       ? source_->Read(to, want)
                      : start_ >= 0 ? ReadAt(input_, start_ + taken_, to, want)
                                    : std::fread(to, 1, want, input_);
    if (got < want) ended_ = true;
    unread_ -= static_cast<std::uint32_t>(got);
    taken_ += static_cast<std::uint32_t>(got);
    Next = block_;
    End = block_ + kept + got;
    return got > 0;
  }

  // Refill for the byte-wise fetches, once: they are many, and rarely
  // need it.
  __attribute__((noinline)) bool RefillForFetch() { return Refill(); }

  // Token bytes handed out so far.
  std::uint32_t Fetched() const { return taken_ - static_cast<std::uint32_t>(Available()); }

  // Puts the input behind the last byte handed out, as if it had been read
  // one byte at a time. A source keeps what it handed out.
  void Settle() {
    if (source_) return;
    if (start_ >= 0)
      StreamSeek(input_, start_ + Fetched(), SEEK_SET);
    else if (Available())
      std::fseek(input_, -static_cast<long>(Available()), SEEK_CUR);
  }

 private:
  std::uint8_t* block_;
  FILE* input_;
  MemberSource* source_;
  std::int64_t start_;  // where the token stream starts in the file, or -1: read through the stream
  std::uint32_t unread_ = 0;
  std::uint32_t taken_ = 0;
  bool ended_ = false;
};

// Output without progress reports: the last 4096 bytes as history, then room
// for a block of new bytes, which go to the file in one write when the
// block is full. A match's ring position becomes an address in the history
// through Origin, so that a copy can move eight bytes at a time.
class OutputWindow {
 public:
  // Ring positions 0..4077 start as spaces, 4078..4095 as 0, and writing
  // starts at 4078, which is window_[4096]: window_[i] holds ring position
  // (i - 18) & 4095.
  //
  // With `direct`, blocks go straight to the stream's file: the caller
  // flushes, measures and seeks the stream afterwards, which brings it up
  // to date with what was written past it. Should a write fail, the rest
  // goes through the stream, which then records the error as usual.
  //
  // `window` holds WINDOW_AREA bytes.
  OutputWindow(FILE* output, bool direct, std::uint8_t* window)
      : output_(output), descriptor_(direct ? FlushedDescriptor(output) : -1), window_(window) {
    std::memset(window_, 0, RING_SIZE - RING_START);
    std::memset(window_ + RING_SIZE - RING_START, ' ', RING_START);
    Next = start_ = window_ + RING_SIZE;
    Origin = reinterpret_cast<std::uintptr_t>(window_) + (RING_SIZE - RING_START);
  }

  std::uint8_t* Next;  // where the next byte goes
  // The address of ring position 0, modulo 4096: the byte at address a
  // holds ring position (a - Origin) & 4095.
  std::uintptr_t Origin;

  std::size_t Room() const { return static_cast<std::size_t>(window_ + WINDOW_END - Next); }
  std::uint64_t Produced() const { return written_ + static_cast<std::uint64_t>(Next - start_); }

  // Writes the new bytes and keeps the last 4096 as history.
  void Flush() {
    Write();
    std::memmove(window_, Next - RING_SIZE, RING_SIZE);
    Origin -= static_cast<std::uintptr_t>(Next - (window_ + RING_SIZE));
    Next = start_ = window_ + RING_SIZE;
  }

  void Finish() { Write(); }

 private:
  void Write() {
    std::size_t fresh = static_cast<std::size_t>(Next - start_);
    std::size_t done = 0;
    if (descriptor_ >= 0 && fresh) {
      done = WriteDescriptor(descriptor_, start_, fresh);
      if (done < fresh) descriptor_ = -1;
    }
    if (done < fresh) std::fwrite(start_ + done, 1, fresh - done, output_);
    written_ += fresh;
    start_ = Next;
  }

  FILE* output_;
  int descriptor_;       // the file written directly, or -1
  std::uint8_t* start_;  // first byte not yet written
  std::uint8_t* window_;
  std::uint64_t written_ = 0;
};

// Decodes `groups` whole groups from the block into the window.
void DecodeGroups(TokenSource& source, OutputWindow& window, std::size_t groups, bool sse2) {
  GroupCursor cursor{source.Next, window.Next, window.Origin};
#if defined(__i386__)
  if (sse2)
    DecodeGroupsSse2(cursor, groups);
  else
#endif
    DecodeGroupsWith<WordMoves>(cursor, groups);
  (void)sse2;
  source.Next = cursor.In;
  window.Next = cursor.Out;
}

enum class Stop { FetchFailed, Limit };

// One byte at a time with every fetch checked and the limit kept: the
// member's last bytes and the bytes near the limit. `flags` carries the
// flag register from one call to the next. Returns true when the token was
// decoded, false with `stop` set when decoding ends.
bool DecodeToken(TokenSource& source, OutputWindow& window, unsigned& flags, std::uint64_t limit,
                 Stop& stop) {
  stop = Stop::FetchFailed;
  flags >>= 1;
  if ((flags & 0x100) == 0) {
    std::uint8_t flagByte;
    if (!source.Fetch(flagByte)) return false;
    flags = flagByte | 0xFF00u;
  }
  if (window.Room() < MAX_MATCH) window.Flush();
  std::uint8_t b0, b1;
  if (flags & 1) {
    if (!source.Fetch(b0)) return false;
    if (window.Produced() >= limit) {
      stop = Stop::Limit;
      return false;
    }
    *window.Next++ = b0;
    return true;
  }
  if (!source.Fetch(b0) || !source.Fetch(b1)) return false;
  const unsigned position = MatchPosition(b0, b1);
  unsigned length = MatchLength(b1);
  const std::uint64_t left = limit - window.Produced();
  const bool cut = left < length;
  if (cut) length = static_cast<unsigned>(left);
  std::uint8_t* out = window.Next;
  const std::uint8_t* from =
      out - 1 -
      (static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(out) - window.Origin - 1 - position) &
       RING_MASK);
  for (unsigned k = 0; k < length; ++k) out[k] = from[k];  // may overlap what it produces
  window.Next = out + length;
  stop = Stop::Limit;
  return !cut;
}

// Decodes the whole token stream into the window; says why it stopped.
Stop DecodeTokens(TokenSource& source, OutputWindow& window, std::uint64_t limit, bool sse2) {
  unsigned flags = 0;
  Stop stop;
  for (;;) {
    if ((flags & 0x200) == 0) {  // the next token starts a group
      if (window.Room() < GROUP_OUTPUT + COPY_SPAN) window.Flush();
      if (source.Available() < GROUP_BYTES) source.Refill();
      std::size_t groups = source.Available() / GROUP_BYTES;
      const std::size_t roomGroups = (window.Room() - COPY_SPAN) / GROUP_OUTPUT;
      if (groups > roomGroups) groups = roomGroups;
      // Room up to the limit; divided only when small, so that a 32-bit
      // build needs no 64-bit division.
      const std::uint64_t left = limit - window.Produced();
      if (left < static_cast<std::uint64_t>(groups) * GROUP_OUTPUT)
        groups = static_cast<std::size_t>(left) / GROUP_OUTPUT;
      if (groups > 0) {
        DecodeGroups(source, window, groups, sse2);
        continue;
      }
    }
    if (!DecodeToken(source, window, flags, limit, stop)) return stop;
  }
}

// Output with a progress report after every byte that reaches the stream.
class ProgressSink {
 public:
  ProgressSink(TLZSS& codec, FILE* output, std::uint64_t limit)
      : codec_(codec), output_(output), limit_(limit) {}

  // False, with nothing written, when the byte would go beyond the limit.
  bool Put(std::uint8_t c) {
    if (written_ == limit_) return false;
    std::fputc(c, output_);
    ++written_;
    // Looked at for every byte: Progress may turn the reports off.
    if (codec_.ProgressEnabled) {
      codec_.Progress(codec_.ProgressCount, codec_.UnpackedSize);
      ++codec_.ProgressCount;
    }
    codec_.RingBuffer[position_] = c;
    position_ = (position_ + 1) & RING_MASK;
    return true;
  }

 private:
  TLZSS& codec_;
  FILE* output_;
  std::uint64_t limit_;
  std::uint64_t written_ = 0;
  unsigned position_ = RING_START;
};

Stop RunTokensReporting(TokenSource& source, const std::uint8_t* ring, ProgressSink& sink) {
  unsigned flags = 0;
  for (;;) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      std::uint8_t flagByte;
      if (!source.Fetch(flagByte)) return Stop::FetchFailed;
      flags = flagByte | 0xFF00u;
    }
    std::uint8_t b0, b1;
    if (flags & 1) {
      if (!source.Fetch(b0)) return Stop::FetchFailed;
      if (!sink.Put(b0)) return Stop::Limit;
    } else {
      if (!source.Fetch(b0) || !source.Fetch(b1)) return Stop::FetchFailed;
      const unsigned position = MatchPosition(b0, b1);
      // Byte by byte: a match may overlap the bytes it is producing.
      for (unsigned k = 0; k < MatchLength(b1); ++k)
        if (!sink.Put(ring[(position + k) & RING_MASK])) return Stop::Limit;
    }
  }
}

}  // namespace

#if defined(__i386__)
bool ProcessorHasSse2() {
  unsigned a, b, c, d;
  return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2) != 0;
}
#endif

int TLZSS::Decode(FILE* input, FILE* output) {
  ProgressCount = 0;
  ConsumedCount = 0;
  if ((!input && !Source) || !output || !HasArrays()) return 0;

  if (!DecodeBuffers) DecodeBuffers = static_cast<std::uint8_t*>(std::malloc(TOKEN_AREA + WINDOW_AREA));
  TokenSource source(input, Source, DecodeBuffers);
  // The header as one read of its magic and one of the rest.
  MemberHeader header;
  std::uint8_t magic[4] = {};
  source.ReadHeader(magic, sizeof magic);
  header.Magic = magic[0] | magic[1] << 8 | magic[2] << 16 | static_cast<std::uint32_t>(magic[3]) << 24;
  if (header.Magic != MEMBER_MAGIC) return 0;
  std::uint8_t fields[MEMBER_FIELDS_SIZE] = {};
  source.ReadHeader(fields, sizeof fields);
  ParseMemberHeaderAfterMagic(fields, header);
  UnpackedSize = header.UnpackedSize;
  PackedSize = header.PackedSize;
  if (UnpackedSize == 0) return 1;
  if (!DecodeBuffers) return 0;
  source.StartTokens(PackedSize);

  const std::uint64_t limit = LimitToUnpackedSize ? UnpackedSize : NO_LIMIT;
  Stop stop;
  if (ProgressEnabled) {
    std::memset(RingBuffer, ' ', RING_START);
    // Positions a valid stream writes before it reads them; zeroed so that a
    // damaged one decodes the same way every time.
    std::memset(RingBuffer + RING_START, 0, RING_SIZE - RING_START);
    ProgressSink sink(*this, output, limit);
    stop = RunTokensReporting(source, RingBuffer, sink);
  } else {
    // Only the object's own stream is written past: it is the one that the
    // closing seek below brings up to date.
    OutputWindow window(output, output == OutputStream, DecodeBuffers + TOKEN_AREA);
#if defined(__i386__)
    const bool sse2 = ProcessorHasSse2();
#else
    const bool sse2 = false;
#endif
    stop = DecodeTokens(source, window, limit, sse2);
    window.Finish();
  }
  // A fetch that failed counts too; stopping at the limit fetches nothing
  // more. The input stands behind the last token fetched, as if it had
  // been read one byte at a time.
  ConsumedCount = source.Fetched() + (stop == Stop::FetchFailed ? 1 : 0);
  source.Settle();

  // The closing flush, the measurement and the time act on the object's own
  // output; a caller that passed another stream still gets a definite answer.
  FILE* measured = OutputStream ? OutputStream : output;
  std::fflush(measured);
  StreamSeek(measured, 0, SEEK_END);
  std::int64_t length = StreamTell(measured);
  SetStreamFileTime(measured, header.PackedTime());
  if (stop == Stop::Limit) return 0;
  return length == static_cast<std::int64_t>(UnpackedSize) ? 1 : 0;
}
