#include "search_trees.h"

void SearchTrees::Clear() {
  for (int i = RING_SIZE; i < RIGHT_CHILD_SIZE; ++i) nodes_[i] = NO_CHILDREN;
  for (int i = 0; i < PARENT_SIZE; ++i) parents_[i] = NIL;
}

// All 18 bytes of r equal those of p: the newer node r takes p's place.
void SearchTrees::Replace(int p, int r) {
  const int parent = parents_[p];
  const std::uint64_t links = nodes_[p] & 0xFFFFFFFF;
  nodes_[r] = (nodes_[r] & ~std::uint64_t{0xFFFFFFFF}) | links;
  parents_[r] = static_cast<std::uint16_t>(parent);
  parents_[Left(p)] = static_cast<std::uint16_t>(r);
  parents_[Right(p)] = static_cast<std::uint16_t>(r);
  SetChild(parent, Right(parent) == p, r);
  parents_[p] = NIL;
}
