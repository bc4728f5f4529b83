// Decode on arbitrary bytes, taken as one member at the start of the input.
//
// The codec decodes a member two ways: a group at a time into a linear
// window when nobody watches, byte by byte through the ring when progress
// is reported. Both must agree with the plain reference decoder on every
// input, damaged or not: the same result, the same output bytes, and the
// input left at the same place, since the container reader reads the next
// entry from there.
#include <cstdint>
#include <cstdio>

#include "fuzz_check.h"
#include "lzss.h"
#include "memory_stream.h"
#include "member_header.h"
#include "plain_decoder.h"

namespace {

// Holds the progress reports to their contract: one call per output byte,
// done counting from 0, total the header's UnpackedSize.
class WatchedCodec : public TLZSS {
 public:
  explicit WatchedCodec(int progressEnabled) : TLZSS(progressEnabled) {}
  void Progress(std::uint32_t done, std::uint32_t total) override {
    FUZZ_CHECK(done == Calls);
    FUZZ_CHECK(total == UnpackedSize);
    ++Calls;
  }
  std::uint32_t Calls = 0;
};

struct Outcome {
  int Result = 0;
  Bytes Output;
  long Position = 0;
  std::uint32_t UnpackedSize = 0;
  std::uint32_t Consumed = 0;
  std::uint32_t ProgressCalls = 0;
};

Outcome RunCodec(const std::uint8_t* data, std::size_t size, int progressEnabled, bool limit = false) {
  Outcome outcome;
  FILE* input = OpenMemoryInput(data, size);
  MemoryOutput output;
  {
    WatchedCodec codec(progressEnabled);
    codec.LimitToUnpackedSize = limit;
    codec.OutputStream = output.Stream();  // Decode measures the object's own output
    outcome.Result = codec.Decode(input, output.Stream());
    codec.OutputStream = nullptr;  // MemoryOutput closes it
    outcome.UnpackedSize = codec.UnpackedSize;
    outcome.Consumed = codec.ConsumedCount;
    outcome.ProgressCalls = codec.Calls;
  }
  outcome.Position = std::ftell(input);
  outcome.Output = output.Contents();
  std::fclose(input);
  return outcome;
}

Outcome RunPlain(const std::uint8_t* data, std::size_t size) {
  Outcome outcome;
  FILE* input = OpenMemoryInput(data, size);
  MemoryOutput output;
  PlainDecodeResult plain = PlainDecode(input, output.Stream());
  outcome.Result = plain.Result;
  outcome.UnpackedSize = plain.UnpackedSize;
  outcome.Position = std::ftell(input);
  outcome.Output = output.Contents();
  FUZZ_CHECK(outcome.Output.size() == plain.Written);
  std::fclose(input);
  return outcome;
}

std::uint32_t Field(const std::uint8_t* data, std::size_t size, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4 && at + i < size; ++i)
    value |= static_cast<std::uint32_t>(data[at + i]) << (8 * i);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Outcome fast = RunCodec(data, size, 0);
  Outcome reporting = RunCodec(data, size, 1);
  Outcome plain = RunPlain(data, size);

  for (const Outcome* codec : {&fast, &reporting}) {
    FUZZ_CHECK(codec->Result == plain.Result);
    FUZZ_CHECK(codec->Output == plain.Output);
    FUZZ_CHECK(codec->Position == plain.Position);
    FUZZ_CHECK(codec->UnpackedSize == plain.UnpackedSize);
  }
  FUZZ_CHECK(fast.Consumed == reporting.Consumed);
  FUZZ_CHECK(fast.ProgressCalls == 0);
  FUZZ_CHECK(reporting.ProgressCalls == reporting.Output.size());

  // With LimitToUnpackedSize the output is the plain one cut at the
  // header's size, with the same result; where the plain decoder stays
  // within that size, everything is the same.
  const Outcome limitedFast = RunCodec(data, size, 0, true);
  const Outcome limitedReporting = RunCodec(data, size, 1, true);
  for (const Outcome* limited : {&limitedFast, &limitedReporting}) {
    FUZZ_CHECK(limited->Result == plain.Result);
    const std::size_t kept =
        plain.Output.size() < plain.UnpackedSize ? plain.Output.size() : plain.UnpackedSize;
    FUZZ_CHECK(limited->Output == Bytes(plain.Output.begin(), plain.Output.begin() + kept));
    if (plain.Output.size() <= plain.UnpackedSize) FUZZ_CHECK(limited->Position == plain.Position);
    FUZZ_CHECK(limited->Position <= plain.Position);
  }
  FUZZ_CHECK(limitedFast.Position == limitedReporting.Position);
  FUZZ_CHECK(limitedFast.Consumed == limitedReporting.Consumed);
  FUZZ_CHECK(limitedReporting.ProgressCalls == limitedReporting.Output.size());

  // What the member's header allows, whatever follows it.
  bool magic = Field(data, size, 0) == MEMBER_MAGIC;
  std::uint32_t unpacked = Field(data, size, 28);
  std::uint64_t packed = Field(data, size, 32);
  std::uint64_t end = MEMBER_HEADER_SIZE + packed;
  if (!magic) {
    FUZZ_CHECK(fast.Result == 0 && fast.Output.empty());
    FUZZ_CHECK(static_cast<std::size_t>(fast.Position) == (size < 4 ? size : 4));
  } else if (unpacked == 0) {
    FUZZ_CHECK(fast.Result == 1 && fast.Output.empty());
    FUZZ_CHECK(static_cast<std::size_t>(fast.Position) == (size < 36 ? size : 36));
  } else {
    // Never a byte beyond the member: the next entry starts there.
    FUZZ_CHECK(static_cast<std::uint64_t>(fast.Position) == (size < end ? size : end));
    FUZZ_CHECK(fast.Result == (fast.Output.size() == unpacked ? 1 : 0));
    // Each token byte yields at most nine output bytes (a match of 18 for two).
    FUZZ_CHECK(fast.Output.size() <= 9 * packed);
  }
  return 0;
}
