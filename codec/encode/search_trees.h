// The encoder's 256 search trees in a compact form: node for node the trees
// that TLZSS::InsertNode and TLZSS::DeleteNode build in LeftChild, RightChild
// and Parent, so the same matches are found, with fewer and nearer loads.
//
// A node is one 64-bit word: the left child in bits 0-15, the right child in
// bits 16-31, and bytes 1 to 4 of the node's string in bits 32-63, byte 1
// highest, so that comparing the upper halves of two words compares those
// bytes of the two strings in order. A string's bytes stay as they were while its node is in a tree
// (the ring overwrites a position only after its node has been deleted), so
// they can be copied into the node when it is inserted. Roots are words
// 4097 to 4352 as in RightChild; word 4096 (NIL) links to nothing.
#pragma once

#include <cstdint>

#include "common_length.h"
#include "lzss.h"

class SearchTrees {
 public:
  // ring: the encoder's RingBuffer with its mirror bytes.
  explicit SearchTrees(const std::uint8_t* ring) : ring_(ring) { Clear(); }

  void Clear();

  // Inserts the string at ring position r and leaves the longest match met
  // on the way in MatchPosition and MatchLength, ties going to the node met
  // first; an 18-byte match replaces the older node.
  inline void Insert(int r);
  inline void Delete(int p);

  int MatchPosition() const { return matchPosition_; }
  int MatchLength() const { return matchLength_; }

  // The links in the form of the TLZSS arrays, for comparing the two.
  int Left(int p) const { return Child(nodes_[p], 0); }
  int Right(int p) const { return Child(nodes_[p], 1); }
  int Parent(int p) const { return parents_[p]; }

 private:
  static int Child(std::uint64_t node, int right) {
    return static_cast<int>((node >> (16 * right)) & 0xFFFF);
  }
  void SetChild(int p, int right, int child) {
    const int shift = 16 * right;
    nodes_[p] =
        (nodes_[p] & ~(std::uint64_t{0xFFFF} << shift)) | (static_cast<std::uint64_t>(child) << shift);
  }
  void Attach(int p, int right, int r) {
    SetChild(p, right, r);
    parents_[r] = static_cast<std::uint16_t>(p);
  }
  void Replace(int p, int r);
  void Found(int position, int length) {
    matchPosition_ = position;
    matchLength_ = length;
  }

  static constexpr std::uint64_t NO_CHILDREN = NIL | std::uint64_t{NIL} << 16;

  const std::uint8_t* ring_;
  std::uint64_t nodes_[RIGHT_CHILD_SIZE];
  std::uint16_t parents_[PARENT_SIZE];
  int matchPosition_ = 0;
  int matchLength_ = 0;
};

inline void SearchTrees::Insert(int r) {
  const std::uint8_t* key = &ring_[r];
  const std::uint32_t head = static_cast<std::uint32_t>(key[1]) << 24 |
                             static_cast<std::uint32_t>(key[2]) << 16 |
                             static_cast<std::uint32_t>(key[3]) << 8 | key[4];
  nodes_[r] = NO_CHILDREN | static_cast<std::uint64_t>(head) << 32;
  int p = RING_SIZE + 1 + key[0];
  std::uint64_t node = nodes_[p];
  int right = 1;
  int length = 0;
  int position = matchPosition_;
  for (;;) {
    // Where bytes 1 to 4 decide, a step is taken without a branch: both
    // children load while the direction is still being worked out.
    const std::uint64_t leftNode = nodes_[Child(node, 0)];
    const std::uint64_t rightNode = nodes_[Child(node, 1)];
    const int next = Child(node, right);
    if (next == NIL) {
      Attach(p, right, r);
      return Found(position, length);
    }
    p = next;
    node = right ? rightNode : leftNode;

    // Bytes 1 to 4 equal: the rest decides. Strings this much alike tend to
    // go on alike down the tree, where a predicted branch lets the next node
    // load before the comparison has ended. Marked rare, so that the usual
    // step runs straight through without a jump.
    while (__builtin_expect(static_cast<std::uint32_t>(node >> 32) == head, 0)) {
      int cmp;
      const int i = CommonLength(key, &ring_[p], cmp);
      if (i > length) {
        position = p;
        length = i;
        if (i >= MAX_MATCH) {
          Replace(p, r);
          return Found(position, length);
        }
      }
      if (cmp >= 0) {
        const int child = Child(node, 1);
        if (child == NIL) {
          Attach(p, 1, r);
          return Found(position, length);
        }
        p = child;
      } else {
        const int child = Child(node, 0);
        if (child == NIL) {
          Attach(p, 0, r);
          return Found(position, length);
        }
        p = child;
      }
      node = nodes_[p];
    }

    const std::uint32_t nodeHead = static_cast<std::uint32_t>(node >> 32);
    const int i = 1 + __builtin_clz(nodeHead ^ head) / 8;
    right = head > nodeHead;
    const bool longer = i > length;
    position = longer ? p : position;
    length = longer ? i : length;
  }
}

inline void SearchTrees::Delete(int p) {
  const int parent = parents_[p];
  if (parent == NIL) return;
  const int left = Left(p), right = Right(p);
  int q;
  if (right == NIL) {
    q = left;
  } else if (left == NIL) {
    q = right;
  } else {
    // The greatest node of p's left subtree takes p's place.
    q = left;
    if (Right(q) != NIL) {
      do q = Right(q);
      while (Right(q) != NIL);
      const int qParent = parents_[q], qLeft = Left(q);
      SetChild(qParent, 1, qLeft);
      parents_[qLeft] = static_cast<std::uint16_t>(qParent);
      Attach(q, 0, left);
    }
    Attach(q, 1, right);
  }
  parents_[q] = static_cast<std::uint16_t>(parent);
  SetChild(parent, Right(parent) == p, q);
  parents_[p] = NIL;
}
