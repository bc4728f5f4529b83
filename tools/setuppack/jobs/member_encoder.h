// One payload file made into one member, with the checks the codec's
// Encode leaves to its caller: read and write errors, a file that changed
// while it was read, and a token stream too long for its 32-bit size field.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "lzss.h"
#include "container/member_time.h"
#include "container/payload.h"

// How hard the encoder works: the greedy parse, or the minimum-cost one.
enum class EncodeEffort { Standard, Best };

// The stream a worker is reading right now, so that the progress line can
// ask how far it got.
struct InputWatch {
  std::mutex Lock;
  FILE* Stream = nullptr;
};

struct EncodeOutcome {
  bool Ok = false;
  std::string Error;    // about the payload file; empty when Ok
  std::string Warning;  // a member that is fine but worth a word
};

// Writes the member at out's current position, stamped as `times` says; out
// is left at its end. Write errors on out are the caller's to find (ferror),
// since they concern the file being written, not the payload file.
EncodeOutcome EncodeMember(TLZSS& codec, const PayloadFile& file, FILE* out, InputWatch* watch,
                           EncodeEffort effort, const MemberTimes& times);
