// The longest match for every position of an input, as the decoder's ring
// holds it: any of the last 4096 bytes, and before the input the 4078
// spaces the ring starts with. Binary search trees over the 18-byte strings
// at each position, one tree for each value of the first byte: the longest
// common beginning with a new string is found on its way down, beside its
// neighbours in sorted order.
#pragma once

#include <cstdint>
#include <vector>

class MatchFinder {
 public:
  MatchFinder();

  // text: a linear buffer in which absolute position a is at text[a - base];
  // it must hold the 18 bytes from position a on, for every a inserted.
  // Positions 0..4077 are the initial spaces, the input starts at 4078.
  void SetText(const std::uint8_t* text, std::int64_t base) {
    text_ = text;
    base_ = base;
  }

  // Inserts position a, whose predecessors must all have been inserted, and
  // returns the longest match among the 4096 positions before it (0 when
  // none); `from` gets the matching position.
  int Insert(std::int64_t a, std::int64_t& from);

 private:
  static constexpr int NODES = 8192;  // twice the window: a position leaves before its slot is reused
  static constexpr int NONE = -1;
  static constexpr int ROOTS = NODES;  // 256 roots follow the nodes

  void Remove(int node);
  const std::uint8_t* At(std::int64_t a) const { return text_ + (a - base_); }
  std::int64_t PositionOf(int node, std::int64_t current) const {
    return current - ((current - node) & (NODES - 1));
  }

  const std::uint8_t* text_ = nullptr;
  std::int64_t base_ = 0;
  std::vector<int> left_, right_, parent_;
};
