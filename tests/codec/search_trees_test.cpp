// The encoder's compact search trees, driven step for step beside TLZSS's
// own InsertNode and DeleteNode over one ring: after every insertion both
// must report the same match, and both must hold the same trees.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "lzss.h"
#include "search_trees.h"
#include "test_files.h"

namespace {

class Lockstep {
 public:
  Lockstep() : trees_(new SearchTrees(codec_.RingBuffer)) {}

  // Runs the encoder's sequence of tree steps over data: every position
  // inserted once, the oldest deleted before its byte is overwritten.
  void Run(const Bytes& data, const std::string& what) {
    what_ = what;
    std::uint8_t* ring = codec_.RingBuffer;
    std::fill(ring, ring + RING_START, ' ');
    std::fill(ring + RING_START, ring + RING_ARRAY_SIZE, 0);
    codec_.InitTree();
    trees_->Clear();
    std::size_t next = 0;
    int len = 0;
    for (; len < MAX_MATCH && next < data.size(); ++len) ring[RING_START + len] = data[next++];
    if (len == 0) return;
    int s = 0, r = RING_START;
    for (int i = 1; i <= MAX_MATCH; ++i) Insert(r - i);
    Insert(r);
    for (int step = 1; len > 0; ++step) {
      Delete(s);
      if (next < data.size()) {
        ring[s] = data[next++];
        if (s < MAX_MATCH - 1) ring[s + RING_SIZE] = ring[s];
      } else {
        --len;
      }
      s = (s + 1) & (RING_SIZE - 1);
      r = (r + 1) & (RING_SIZE - 1);
      if (len > 0) Insert(r);
      if (step % 509 == 0 && !SameTrees()) return;
      if (::testing::Test::HasFailure()) return;
    }
    SameTrees();
  }

 private:
  void Insert(int r) {
    codec_.InsertNode(r);
    trees_->Insert(r);
    ASSERT_EQ(trees_->MatchLength(), codec_.MatchLength) << what_ << ": match length at " << r;
    ASSERT_EQ(trees_->MatchPosition(), codec_.MatchPosition) << what_ << ": match position at " << r;
  }

  void Delete(int p) {
    codec_.DeleteNode(p);
    trees_->Delete(p);
  }

  bool SameTrees() {
    for (int c = 0; c < 256; ++c) {
      int root = RING_SIZE + 1 + c;
      EXPECT_EQ(trees_->Right(root), codec_.RightChild[root]) << what_ << ": root of " << c;
    }
    for (int p = 0; p < RING_SIZE; ++p) {
      EXPECT_EQ(trees_->Parent(p), codec_.Parent[p]) << what_ << ": parent of " << p;
      if (codec_.Parent[p] == NIL) continue;
      EXPECT_EQ(trees_->Left(p), codec_.LeftChild[p]) << what_ << ": left child of " << p;
      EXPECT_EQ(trees_->Right(p), codec_.RightChild[p]) << what_ << ": right child of " << p;
      if (::testing::Test::HasFailure()) return false;
    }
    return !::testing::Test::HasFailure();
  }

  TLZSS codec_{0};
  std::unique_ptr<SearchTrees> trees_;
  std::string what_;
};

// Blocks that share their first `shared` bytes and differ after them, so
// that comparisons end on every side of the bytes a node keeps in itself.
Bytes SharedBeginnings(int shared, std::size_t size, std::uint32_t seed) {
  Bytes tails = RandomBytes(size, seed), data;
  const Bytes prefix = BytesOf("ABCDEFGHIJKLMNOPQRSTUVWX");
  for (std::size_t at = 0; data.size() < size; at += 7) {
    data.insert(data.end(), prefix.begin(), prefix.begin() + shared);
    for (std::size_t k = 0; k < 7; ++k)
      data.push_back(static_cast<std::uint8_t>('a' + tails[(at + k) % size] % 3));
  }
  return data;
}

TEST(SearchTrees, MatchTheTreeStepsOnEveryKindOfData) {
  Lockstep lockstep;
  lockstep.Run(RandomBytes(30000, 11), "random");
  Bytes twoSymbols = RandomBytes(30000, 12);
  for (auto& b : twoSymbols) b = static_cast<std::uint8_t>(b & 1);
  lockstep.Run(twoSymbols, "two symbols");
  lockstep.Run(Bytes(9000, ' '), "spaces");
  lockstep.Run(Bytes(9000, 0xFF), "bytes FF");
  for (int shared : {1, 2, 3, 4, 5, 6, 9, 17, 18, 20})
    lockstep.Run(SharedBeginnings(shared, 12000, 20u + static_cast<std::uint32_t>(shared)),
                 "shared beginnings of " + std::to_string(shared));
  Bytes text;
  while (text.size() < 40000) {
    const Bytes line =
        BytesOf("if (value > limit) value = limit; /* clamp " + std::to_string(text.size() % 97) + " */\n");
    text.insert(text.end(), line.begin(), line.end());
  }
  lockstep.Run(text, "text");
  for (std::size_t n : {1, 2, 5, 17, 18, 19, 4095, 4096, 4097})
    lockstep.Run(RandomBytes(n, 40u + static_cast<std::uint32_t>(n)), "short input of " + std::to_string(n));
}

}  // namespace
