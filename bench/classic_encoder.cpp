#include "classic_encoder.h"

#include "plain_tree_encoder.h"

namespace {

struct ArrayInput {
  const std::uint8_t* next;
  const std::uint8_t* end;
  int Get() { return next < end ? *next++ : -1; }
};

struct ArrayOutput {
  std::uint8_t* next;
  void Put(std::uint8_t c) { *next++ = c; }
};

}  // namespace

std::size_t ClassicEncode(const std::uint8_t* data, std::size_t size, std::uint8_t* tokens) {
  ArrayInput in{data, data + size};
  ArrayOutput out{tokens};
  plain_encoder::EncodeTokens(in, out);
  return static_cast<std::size_t>(out.next - tokens);
}
