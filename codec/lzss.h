// TLZSS: the codec of the setup container's members.
//
// A member is a 36-byte MemberHeader followed by an LZSS token stream over a
// 4096-byte ring (see member_header.h and docs/FORMAT.md). One object decodes
// or encodes any number of members in turn through its two buffered streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr int RING_SIZE = 4096;
constexpr int MAX_MATCH = 18;
constexpr int MATCH_THRESHOLD = 2;
constexpr int RING_START = RING_SIZE - MAX_MATCH;  // 4078
constexpr int NIL = RING_SIZE;                     // no node in a search tree
constexpr std::uint32_t MEMBER_MAGIC = 0x00137457;

// Ring with 17 mirror bytes behind it, so that an 18-byte comparison that
// starts anywhere in the ring is one straight run through the array.
constexpr int RING_ARRAY_SIZE = RING_SIZE + MAX_MATCH - 1;  // 4113
constexpr int LEFT_CHILD_SIZE = RING_SIZE + 1;              // 4097
constexpr int RIGHT_CHILD_SIZE = RING_SIZE + 257;           // 4097 + 256 roots
constexpr int PARENT_SIZE = RING_SIZE + 1;                  // entry NIL is scratch

// Sees every byte Decode takes from its input, in the order the input
// holds them: a member's header, then its token bytes as they are read
// (never beyond PackedSize). What a reader of the container hashes.
class InputTap {
 public:
  // The bytes are the tap's only during the call.
  virtual void Take(const std::uint8_t* bytes, std::size_t count) = 0;
  // A block of token bytes, which stays as it is until Release is called:
  // a tap may go on working with it while decoding goes on.
  virtual void TakeBlock(const std::uint8_t* bytes, std::size_t count) { Take(bytes, count); }
  // Called before the bytes of the last TakeBlock are changed or go.
  virtual void Release() {}

 protected:
  ~InputTap() = default;
};

// Reads a member's token blocks ahead, for example on a thread of its own,
// while Decode decodes the block before. Decode posts the next read as soon
// as it has a block and waits for it when it needs the bytes: at most one
// read is out at a time, each follows the one before in the file, and none
// goes beyond the member's PackedSize.
class BlockReader {
 public:
  // Starts reading `count` bytes at `position` of the file under `stream`
  // into `to`, past the stream (ReadAt of stream_read.h).
  virtual void Post(FILE* stream, std::int64_t position, std::uint8_t* to, std::size_t count) = 0;
  // Returns once the posted read is done, with how many bytes arrived:
  // fewer only at the end of the file or on an error.
  virtual std::size_t Wait() = 0;

 protected:
  ~BlockReader() = default;
};

// Size of the buffer each stream gets from the stream library.
constexpr int STREAM_BUFFER_SIZE = 32767;

class TLZSS {
 public:
  explicit TLZSS(int progressEnabled);
  ~TLZSS();
  TLZSS(const TLZSS&) = delete;
  TLZSS& operator=(const TLZSS&) = delete;

  // Called once per decoded byte while ProgressEnabled is nonzero, after the
  // byte went to the output; done counts the member's earlier bytes.
  virtual void Progress(std::uint32_t done, std::uint32_t total);

  // Open (or, with a null path, only close) the input or output stream.
  // An offset other than -1 positions the new stream.
  bool OpenInput(const char* path, std::int32_t offset);
  bool OpenOutput(const char* path, std::int32_t offset);

  // Decode one member from input's current position into output. Returns 1
  // when the output's length equals the header's UnpackedSize. The input
  // never moves beyond the member's PackedSize token bytes. The first call
  // that meets token bytes takes some 650 KiB for its buffers, kept until the
  // object goes; without them it returns 0 behind the header.
  int Decode(FILE* input, FILE* output);

  // Write one member made of the rest of input at output's current position.
  int Encode(FILE* input, FILE* output);

  // The same with a minimum-cost parse: smaller members, slower, decoded
  // by the same Decode. Allocates its own working memory (a few MiB).
  int EncodeBest(FILE* input, FILE* output);

  // Encoder steps, public so that tests can hold them to the format.
  int ReadByte(FILE* input);
  void InitTree();
  void InsertNode(int r);
  void DeleteNode(int p);

  std::uint8_t* RingBuffer;
  std::int32_t MatchPosition;
  std::int32_t MatchLength;
  std::int32_t* LeftChild;
  std::int32_t* RightChild;
  std::int32_t* Parent;
  std::uint32_t UnpackedSize;
  std::uint32_t PackedSize;
  std::uint32_t ConsumedCount;
  std::uint32_t ProgressCount;
  int ProgressEnabled;
  FILE* InputStream;
  FILE* OutputStream;

  // When set, Decode writes at most UnpackedSize bytes: a token that would
  // produce a byte beyond them ends the decoding there, with no further
  // token byte fetched, and Decode returns 0 (the output is flushed,
  // measured and time-stamped as usual). For readers of containers they did
  // not make; the preloader leaves it off.
  bool LimitToUnpackedSize = false;

  // When set, Decode hands it every byte it reads from the input.
  InputTap* Tap = nullptr;

  // When set, Decode reads the token blocks of a member in a file on a disk
  // through it, each while the block before decodes; otherwise each when
  // the block before is used up. Every read is done when Decode returns.
  BlockReader* Reader = nullptr;

 private:
  bool HasArrays() const;
  // Decode's token block and output window, made by its first call.
  std::uint8_t* DecodeBuffers = nullptr;
};
