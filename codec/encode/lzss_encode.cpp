// Encoding one member: a greedy LZSS parse that finds, for every position,
// the longest earlier match in one of 256 binary search trees (one per value
// of a string's first byte) over the last 4096 bytes.
#include <cstring>
#include <memory>
#include <new>

#include "common_length.h"
#include "lzss.h"
#include "member_writer.h"
#include "search_trees.h"

int TLZSS::ReadByte(FILE* input) {
  int c = std::getc(input);
  if (c != EOF) ++UnpackedSize;
  return c;
}

namespace {

// Encode reads its input to the end, so it may take it in blocks: the same
// bytes as ReadByte one at a time, and the same count in UnpackedSize.
class InputBlocks {
 public:
  InputBlocks(FILE* input, std::uint32_t& count) : input_(input), count_(count) {}

  int Next() {
    if (next_ == end_) {
      end_ = std::fread(block_, 1, sizeof block_, input_);
      next_ = 0;
      if (end_ == 0) return EOF;
    }
    ++count_;
    return block_[next_++];
  }

 private:
  FILE* input_;
  std::uint32_t& count_;
  std::size_t next_ = 0;
  std::size_t end_ = 0;
  std::uint8_t block_[STREAM_BUFFER_SIZE];
};

}  // namespace

void TLZSS::InitTree() {
  for (int i = RING_SIZE + 1; i < RIGHT_CHILD_SIZE; ++i) RightChild[i] = NIL;
  for (int i = 0; i < RING_SIZE; ++i) Parent[i] = NIL;
}

void TLZSS::InsertNode(int r) {
  const std::uint8_t* key = &RingBuffer[r];
  int cmp = 1;
  int p = RING_SIZE + 1 + key[0];
  RightChild[r] = LeftChild[r] = NIL;
  MatchLength = 0;
  for (;;) {
    if (cmp >= 0) {
      if (RightChild[p] != NIL) {
        p = RightChild[p];
      } else {
        RightChild[p] = r;
        Parent[r] = p;
        return;
      }
    } else {
      if (LeftChild[p] != NIL) {
        p = LeftChild[p];
      } else {
        LeftChild[p] = r;
        Parent[r] = p;
        return;
      }
    }
    int i = CommonLength(key, &RingBuffer[p], cmp);
    if (i > MatchLength) {
      MatchPosition = p;
      MatchLength = i;
      if (i >= MAX_MATCH) break;
    }
  }
  // All 18 bytes are equal: the newer node r takes the place of p.
  Parent[r] = Parent[p];
  LeftChild[r] = LeftChild[p];
  RightChild[r] = RightChild[p];
  Parent[LeftChild[p]] = r;
  Parent[RightChild[p]] = r;
  if (RightChild[Parent[p]] == p)
    RightChild[Parent[p]] = r;
  else
    LeftChild[Parent[p]] = r;
  Parent[p] = NIL;
}

void TLZSS::DeleteNode(int p) {
  if (Parent[p] == NIL) return;
  int q;
  if (RightChild[p] == NIL) {
    q = LeftChild[p];
  } else if (LeftChild[p] == NIL) {
    q = RightChild[p];
  } else {
    q = LeftChild[p];
    if (RightChild[q] != NIL) {
      do q = RightChild[q];
      while (RightChild[q] != NIL);
      RightChild[Parent[q]] = LeftChild[q];
      Parent[LeftChild[q]] = Parent[q];
      LeftChild[q] = LeftChild[p];
      Parent[LeftChild[p]] = q;
    }
    RightChild[q] = RightChild[p];
    Parent[RightChild[p]] = q;
  }
  Parent[q] = Parent[p];
  if (RightChild[Parent[p]] == p)
    RightChild[Parent[p]] = q;
  else
    LeftChild[Parent[p]] = q;
  Parent[p] = NIL;
}

int TLZSS::Encode(FILE* input, FILE* output) {
  UnpackedSize = 0;
  PackedSize = 0;
  if (!input || !output || !HasArrays()) return 0;
  // The trees in LeftChild, RightChild and Parent, kept in compact form.
  std::unique_ptr<SearchTrees> trees(new (std::nothrow) SearchTrees(RingBuffer));
  if (!trees) return 0;

  std::int64_t sizePosition = BeginMember(input, output);
  TokenWriter tokens(output);
  int s = 0;
  int r = RING_START;

  std::memset(RingBuffer, ' ', RING_START);
  // The look-ahead and the mirror start as on a fresh object, so that a
  // member's bytes never depend on what the object encoded before.
  std::memset(RingBuffer + RING_START, 0, RING_ARRAY_SIZE - RING_START);

  InputBlocks reader(input, UnpackedSize);
  int len = 0;
  for (int c; len < MAX_MATCH && (c = reader.Next()) != EOF; ++len)
    RingBuffer[r + len] = static_cast<std::uint8_t>(c);
  UnpackedSize = static_cast<std::uint32_t>(len);
  if (len == 0) return 1;

  for (int i = 1; i <= MAX_MATCH; ++i) trees->Insert(r - i);
  trees->Insert(r);

  int matchLength;
  bool inserted;  // since matchLength was coded
  do {
    matchLength = trees->MatchLength();
    if (matchLength > len) matchLength = len;
    if (matchLength <= MATCH_THRESHOLD) {
      matchLength = 1;
      tokens.Literal(RingBuffer[r]);
    } else {
      tokens.Match(trees->MatchPosition(), matchLength);
    }

    inserted = false;
    int i = 0;
    for (int c; i < matchLength && (c = reader.Next()) != EOF; ++i) {
      trees->Delete(s);
      RingBuffer[s] = static_cast<std::uint8_t>(c);
      if (s < MAX_MATCH - 1) RingBuffer[s + RING_SIZE] = static_cast<std::uint8_t>(c);
      s = (s + 1) & (RING_SIZE - 1);
      r = (r + 1) & (RING_SIZE - 1);
      trees->Insert(r);
      inserted = true;
    }
    while (i++ < matchLength) {
      trees->Delete(s);
      s = (s + 1) & (RING_SIZE - 1);
      r = (r + 1) & (RING_SIZE - 1);
      if (--len) {
        trees->Insert(r);
        inserted = true;
      }
    }
  } while (len > 0);
  // The fields as the steps would have left them.
  MatchPosition = trees->MatchPosition();
  MatchLength = inserted ? trees->MatchLength() : matchLength;

  tokens.Finish();
  PackedSize = tokens.Written();
  EndMember(output, sizePosition, UnpackedSize, PackedSize);
  return 1;
}
