// Encoding one member with a minimum-cost parse. Every position may take a
// literal (9 bits with its flag bit) or any match of 3 to 18 bytes that the
// decoder's ring holds there (17 bits); since all matches cost the same,
// the longest match at a position offers every shorter length too. A
// shortest-path pass over each block of the input picks the cheapest chain
// of tokens. The members decode with the ordinary decoder.
#include <cstring>
#include <vector>

#include "lzss.h"
#include "match_finder.h"
#include "member_writer.h"

namespace {

constexpr std::int64_t SPACES = RING_START;  // positions 0..4077: the initial spaces
constexpr std::size_t BLOCK = 256 * 1024;    // positions parsed together
constexpr std::size_t HISTORY = RING_SIZE;   // bytes kept before a block
constexpr std::uint32_t LITERAL_BITS = 9;
constexpr std::uint32_t MATCH_BITS = 17;

// The input with the initial spaces in front of it, as one run of absolute
// positions, of which a buffer holds the recent history, the current block
// and the 17 bytes after it. Past the input's end it holds zeros.
class Text {
 public:
  explicit Text(FILE* input) : input_(input), bytes_(HISTORY + BLOCK + 2 * MAX_MATCH, 0) {
    std::memset(bytes_.data(), ' ', SPACES);
    end_ = SPACES;
  }

  // Makes positions [from - HISTORY, to + MAX_MATCH) present, reading on.
  void Prepare(std::int64_t from, std::int64_t to, std::uint32_t& count) {
    std::int64_t keep = from - static_cast<std::int64_t>(HISTORY);
    if (keep > base_) {
      std::memmove(bytes_.data(), bytes_.data() + (keep - base_), static_cast<std::size_t>(end_ - keep));
      base_ = keep;
    }
    std::int64_t want = to + MAX_MATCH;
    while (!ended_ && end_ < want) {
      std::size_t got =
          std::fread(bytes_.data() + (end_ - base_), 1, static_cast<std::size_t>(want - end_), input_);
      if (got == 0) ended_ = true;
      end_ += static_cast<std::int64_t>(got);
      count += static_cast<std::uint32_t>(got);
    }
    std::memset(bytes_.data() + (end_ - base_), 0, static_cast<std::size_t>(base_ + bytes_.size() - end_));
  }

  std::int64_t End() const { return end_; }  // one past the last input position read
  bool Ended() const { return ended_; }
  const std::uint8_t* Data() const { return bytes_.data(); }
  std::int64_t Base() const { return base_; }
  std::uint8_t At(std::int64_t a) const { return bytes_[static_cast<std::size_t>(a - base_)]; }

 private:
  FILE* input_;
  std::vector<std::uint8_t> bytes_;
  std::int64_t base_ = 0;
  std::int64_t end_ = 0;
  bool ended_ = false;
};

struct Step {
  std::uint32_t Cost;   // bits to code everything before this position
  std::uint8_t Length;  // the token that reaches it: 1 for a literal
  std::uint16_t From;   // ring position of that token's match
};

}  // namespace

int TLZSS::EncodeBest(FILE* input, FILE* output) {
  UnpackedSize = 0;
  PackedSize = 0;
  if (!input || !output) return 0;

  std::int64_t sizePosition = BeginMember(input, output);
  TokenWriter tokens(output);
  Text text(input);
  MatchFinder finder;

  std::vector<std::uint8_t> longest(BLOCK);
  std::vector<std::uint16_t> from(BLOCK);
  std::vector<Step> steps(BLOCK + 1);
  std::vector<std::uint8_t> chain(BLOCK);

  text.Prepare(SPACES, SPACES, UnpackedSize);
  finder.SetText(text.Data(), text.Base());
  std::int64_t unused;
  for (std::int64_t a = 0; a < SPACES; ++a) finder.Insert(a, unused);

  for (std::int64_t start = SPACES;; start += static_cast<std::int64_t>(BLOCK)) {
    text.Prepare(start, start + static_cast<std::int64_t>(BLOCK), UnpackedSize);
    finder.SetText(text.Data(), text.Base());
    std::int64_t stop = std::min<std::int64_t>(text.End(), start + static_cast<std::int64_t>(BLOCK));
    if (stop <= start) break;
    std::size_t n = static_cast<std::size_t>(stop - start);

    for (std::size_t j = 0; j < n; ++j) {
      std::int64_t a = start + static_cast<std::int64_t>(j), source = 0;
      int length = finder.Insert(a, source);
      std::int64_t left = text.End() - a;
      longest[j] = static_cast<std::uint8_t>(length < left ? length : left);
      from[j] = static_cast<std::uint16_t>(source & (RING_SIZE - 1));
    }

    // Cheapest cost of reaching every position of the block.
    steps[0].Cost = 0;
    for (std::size_t j = 1; j <= n; ++j) steps[j].Cost = UINT32_MAX;
    for (std::size_t j = 0; j < n; ++j) {
      std::uint32_t base = steps[j].Cost;
      if (base + LITERAL_BITS < steps[j + 1].Cost) steps[j + 1] = {base + LITERAL_BITS, 1, 0};
      std::size_t most = std::min<std::size_t>(longest[j], n - j);
      for (std::size_t length = MATCH_THRESHOLD + 1; length <= most; ++length)
        if (base + MATCH_BITS < steps[j + length].Cost)
          steps[j + length] = {base + MATCH_BITS, static_cast<std::uint8_t>(length), from[j]};
    }

    // Back from the block's end to its start, then out in order.
    std::size_t count = 0;
    for (std::size_t j = n; j > 0; j -= steps[j].Length) chain[count++] = steps[j].Length;
    std::size_t j = 0;
    while (count > 0) {
      std::size_t length = chain[--count];
      const Step& step = steps[j + length];
      if (length == 1)
        tokens.Literal(text.At(start + static_cast<std::int64_t>(j)));
      else
        tokens.Match(step.From, static_cast<int>(length));
      j += length;
    }
    if (text.Ended() && stop == text.End()) break;
  }

  tokens.Finish();
  PackedSize = tokens.Written();
  if (UnpackedSize > 0) EndMember(output, sizePosition, UnpackedSize, PackedSize);
  return 1;
}
