// Encode and EncodeBest on arbitrary data: every member they write decodes
// back to the data, with the sizes in its header and the input left at its
// end; Encode writes the reference encoder's token stream byte for byte, and
// the minimum-cost parse is never more than one flag byte larger.
#include <cstdint>

#include "fuzz_check.h"
#include "lzss.h"
#include "memory_stream.h"
#include "member_header.h"
#include "plain_encoder.h"

namespace {

Bytes EncodeWith(int (TLZSS::*encode)(FILE*, FILE*), const std::uint8_t* data, std::size_t size) {
  FILE* input = OpenMemoryInput(data, size);
  MemoryOutput output;
  {
    TLZSS codec(0);
    FUZZ_CHECK((codec.*encode)(input, output.Stream()) == 1);
    FUZZ_CHECK(codec.UnpackedSize == size);
  }
  std::fclose(input);
  return output.Contents();
}

Bytes PlainTokens(const std::uint8_t* data, std::size_t size) {
  FILE* input = OpenMemoryInput(data, size);
  MemoryOutput output;
  FUZZ_CHECK(PlainEncodeTokens(input, output.Stream()) == size);
  std::fclose(input);
  return output.Contents();
}

std::uint32_t Field(const Bytes& member, std::size_t at) {
  return member[at] | (member[at + 1] << 8) | (member[at + 2] << 16) |
         (static_cast<std::uint32_t>(member[at + 3]) << 24);
}

void CheckDecodesBack(const Bytes& member, const std::uint8_t* data, std::size_t size) {
  FUZZ_CHECK(member.size() >= static_cast<std::size_t>(MEMBER_HEADER_SIZE));
  FUZZ_CHECK(Field(member, 0) == MEMBER_MAGIC);
  FUZZ_CHECK(Field(member, 28) == size);
  FUZZ_CHECK(Field(member, 32) == member.size() - MEMBER_HEADER_SIZE);

  FILE* input = OpenMemoryInput(member.data(), member.size());
  MemoryOutput output;
  {
    TLZSS codec(0);
    codec.OutputStream = output.Stream();
    FUZZ_CHECK(codec.Decode(input, output.Stream()) == 1);
    codec.OutputStream = nullptr;
  }
  FUZZ_CHECK(static_cast<std::size_t>(std::ftell(input)) == member.size());
  std::fclose(input);
  FUZZ_CHECK(output.Contents() == Bytes(data, data + size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes greedy = EncodeWith(&TLZSS::Encode, data, size);
  CheckDecodesBack(greedy, data, size);
  Bytes plain = PlainTokens(data, size);
  FUZZ_CHECK(Bytes(greedy.begin() + MEMBER_HEADER_SIZE, greedy.end()) == plain);

  Bytes best = EncodeWith(&TLZSS::EncodeBest, data, size);
  CheckDecodesBack(best, data, size);
  FUZZ_CHECK(best.size() <= greedy.size() + 1);
  return 0;
}
