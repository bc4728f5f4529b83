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

// Where Decode takes a member's bytes from when a reader of the container
// owns the file (the preloader's extraction): the header, then the token
// bytes, in the order the container holds them. Decode asks for no byte
// beyond the member's PackedSize; bytes it asked for and did not use (a
// member that failed) are gone.
class MemberSource {
 public:
  // Copies up to `count` of the next bytes to `to`; returns how many came,
  // fewer only at the end of the input or after a read that failed.
  virtual std::size_t Read(std::uint8_t* to, std::size_t count) = 0;

 protected:
  ~MemberSource() = default;
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

  // Decode one member from input's current position (or from Source) into
  // output. Returns 1 when the output's length equals the header's
  // UnpackedSize. The input never moves beyond the member's PackedSize token
  // bytes. The first call that meets token bytes takes some 650 KiB for its
  // buffers, kept until the object goes; without them it returns 0 behind
  // the header.
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

  // When set, Decode reads the member from it, not from `input` (which may
  // then be null).
  MemberSource* Source = nullptr;

 private:
  bool HasArrays() const;
  // Decode's token block and output window, made by its first call.
  std::uint8_t* DecodeBuffers = nullptr;
};
