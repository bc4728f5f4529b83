// The encoder's tree search written the plain way, for any byte source and
// sink: one byte read and one byte compared at a time, int arrays for the
// 256 trees. Input::Get() returns the next byte or -1 at the end;
// Output::Put(byte) takes one token byte. PlainEncodeTokens runs it on
// stdio streams, the benchmark on byte arrays.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

namespace plain_encoder {

constexpr int N = 4096, F = 18, THRESHOLD = 2, NIL = N;

struct Trees {
  std::uint8_t text[N + F - 1] = {};
  int left[N + 1], right[N + 257], parent[N + 1];
  int matchPosition = 0, matchLength = 0;

  Trees() {
    for (int i = N + 1; i <= N + 256; ++i) right[i] = NIL;
    for (int i = 0; i < N; ++i) parent[i] = NIL;
  }

  void Insert(int r) {
    int cmp = 1, p = N + 1 + text[r];
    right[r] = left[r] = NIL;
    matchLength = 0;
    for (;;) {
      if (cmp >= 0) {
        if (right[p] != NIL)
          p = right[p];
        else {
          right[p] = r;
          parent[r] = p;
          return;
        }
      } else {
        if (left[p] != NIL)
          p = left[p];
        else {
          left[p] = r;
          parent[r] = p;
          return;
        }
      }
      int i;
      for (i = 1; i < F; ++i)
        if ((cmp = text[r + i] - text[p + i]) != 0) break;
      if (i > matchLength) {
        matchPosition = p;
        if ((matchLength = i) >= F) break;
      }
    }
    parent[r] = parent[p];
    left[r] = left[p];
    right[r] = right[p];
    parent[left[p]] = r;
    parent[right[p]] = r;
    if (right[parent[p]] == p)
      right[parent[p]] = r;
    else
      left[parent[p]] = r;
    parent[p] = NIL;
  }

  void Delete(int p) {
    int q;
    if (parent[p] == NIL) return;
    if (right[p] == NIL)
      q = left[p];
    else if (left[p] == NIL)
      q = right[p];
    else {
      q = left[p];
      if (right[q] != NIL) {
        do q = right[q];
        while (right[q] != NIL);
        right[parent[q]] = left[q];
        parent[left[q]] = parent[q];
        left[q] = left[p];
        parent[left[p]] = q;
      }
      right[q] = right[p];
      parent[right[p]] = q;
    }
    parent[q] = parent[p];
    if (right[parent[p]] == p)
      right[parent[p]] = q;
    else
      left[parent[p]] = q;
    parent[p] = NIL;
  }
};

// Writes the token stream of the rest of input (no header); returns the
// number of input bytes read.
template <class Input, class Output>
std::uint32_t EncodeTokens(Input& input, Output& output) {
  std::unique_ptr<Trees> trees(new Trees);
  Trees& t = *trees;
  std::uint32_t count = 0;
  std::uint8_t code[17] = {0};
  int fill = 1, s = 0, r = N - F, len, c;
  std::uint8_t mask = 1;
  std::memset(t.text, ' ', r);
  for (len = 0; len < F && (c = input.Get()) != -1; ++len) t.text[r + len] = static_cast<std::uint8_t>(c);
  count = static_cast<std::uint32_t>(len);
  if (len == 0) return 0;
  for (int i = 1; i <= F; ++i) t.Insert(r - i);
  t.Insert(r);
  do {
    if (t.matchLength > len) t.matchLength = len;
    if (t.matchLength <= THRESHOLD) {
      t.matchLength = 1;
      code[0] |= mask;
      code[fill++] = t.text[r];
    } else {
      code[fill++] = static_cast<std::uint8_t>(t.matchPosition);
      code[fill++] =
          static_cast<std::uint8_t>(((t.matchPosition >> 4) & 0xF0) | (t.matchLength - (THRESHOLD + 1)));
    }
    if ((mask = static_cast<std::uint8_t>(mask << 1)) == 0) {
      for (int i = 0; i < fill; ++i) output.Put(code[i]);
      code[0] = 0;
      fill = mask = 1;
    }
    int last = t.matchLength, i;
    for (i = 0; i < last && (c = input.Get()) != -1; ++i) {
      ++count;
      t.Delete(s);
      t.text[s] = static_cast<std::uint8_t>(c);
      if (s < F - 1) t.text[s + N] = static_cast<std::uint8_t>(c);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      t.Insert(r);
    }
    while (i++ < last) {
      t.Delete(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len) t.Insert(r);
    }
  } while (len > 0);
  if (fill > 1)
    for (int i = 0; i < fill; ++i) output.Put(code[i]);
  return count;
}

}  // namespace plain_encoder
