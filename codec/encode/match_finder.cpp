#include "match_finder.h"

#include "common_length.h"
#include "lzss.h"

MatchFinder::MatchFinder() : left_(NODES, NONE), right_(NODES + 256, NONE), parent_(NODES, NONE) {}

int MatchFinder::Insert(std::int64_t a, std::int64_t& from) {
  // The position 4097 back leaves the window before the new one searches it.
  if (a >= RING_SIZE + 1) Remove(static_cast<int>((a - RING_SIZE - 1) & (NODES - 1)));

  const std::uint8_t* key = At(a);
  int node = static_cast<int>(a & (NODES - 1));
  left_[node] = right_[node] = NONE;
  int p = ROOTS + key[0];
  int cmp = 1;
  int best = 0;
  for (;;) {
    int& link = cmp >= 0 ? right_[p] : left_[p];
    if (link == NONE) {
      link = node;
      parent_[node] = p;
      return best;
    }
    p = link;
    std::int64_t candidate = PositionOf(p, a);
    int length = CommonLength(key, At(candidate), cmp);
    if (length > best) {
      best = length;
      from = candidate;
      if (length == MAX_MATCH) break;
    }
  }
  // The same 18 bytes: the new position takes the old one's place, being
  // nearer and so usable for longer.
  left_[node] = left_[p];
  right_[node] = right_[p];
  parent_[node] = parent_[p];
  if (left_[p] != NONE) parent_[left_[p]] = node;
  if (right_[p] != NONE) parent_[right_[p]] = node;
  int up = parent_[p];
  (right_[up] == p ? right_[up] : left_[up]) = node;
  parent_[p] = NONE;
  return best;
}

void MatchFinder::Remove(int node) {
  int up = parent_[node];
  if (up == NONE) return;
  int q;
  if (right_[node] == NONE) {
    q = left_[node];
  } else if (left_[node] == NONE) {
    q = right_[node];
  } else {
    // The greatest node of the left subtree takes the place.
    q = left_[node];
    if (right_[q] != NONE) {
      while (right_[q] != NONE) q = right_[q];
      right_[parent_[q]] = left_[q];
      if (left_[q] != NONE) parent_[left_[q]] = parent_[q];
      left_[q] = left_[node];
      parent_[left_[node]] = q;
    }
    right_[q] = right_[node];
    parent_[right_[node]] = q;
  }
  if (q != NONE) parent_[q] = up;
  (right_[up] == node ? right_[up] : left_[up]) = q;
  parent_[node] = NONE;
}
