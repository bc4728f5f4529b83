// Decoding a member's token stream without writing anything: the same
// fetches and the same stopping rule as the codec's Decode, counting the
// bytes it would produce. The output itself needs no buffer, since only its
// length can be checked (a member carries no checksum).
//
// Stricter than Decode where Decode would succeed by luck: a match that
// copies ring bytes no token has written yet, and token bytes left over
// behind the last complete token, never come from the encoder.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "member_header.h"

struct TokenCheck {
  bool Ok = false;
  std::uint64_t Offset = 0;  // absolute, where the fault shows
  std::string What;
  std::uint64_t Produced = 0;
};

// `in` stands at the first token byte, which lies at `tokenOffset` in the
// file; all PackedSize token bytes must be in the file. `bytesRead`, when
// given, grows as token bytes are read.
TokenCheck CheckTokenStream(FILE* in, const MemberHeader& header, std::uint64_t tokenOffset,
                            std::atomic<std::uint64_t>* bytesRead);
