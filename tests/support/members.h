// Building members by hand and running the codec over byte vectors.
#pragma once

#include <cstdint>
#include <string>

#include "test_files.h"

struct HeaderFields {
  std::uint32_t Magic = 0x00137457;
  std::int32_t TwoSeconds = 0, Minute = 0, Hour = 12, Day = 1, Month = 1, Year = 40;
  std::uint32_t UnpackedSize = 0;
  std::uint32_t PackedSize = 0;
};

// A member: the header as given, then the token bytes.
Bytes MakeMember(const HeaderFields& header, const Bytes& tokens);
// A well-formed member for a token stream that decodes to unpackedSize bytes.
Bytes MakeMember(const Bytes& tokens, std::uint32_t unpackedSize);

// The time of every member a test encodes without naming one. The member
// takes its input file's time, so a time left to the clock would make two
// encodings of the same bytes differ whenever they fall into different
// two-second steps.
const LocalTime FIXED_MEMBER_TIME{2004, 5, 6, 7, 8, 10};

// Writes an encoder's input file with the given time (FIXED_MEMBER_TIME when
// none is given).
void WriteEncoderInput(const std::string& path, const Bytes& data, const LocalTime* time = nullptr);

// Encodes `data` (written to a file in dir with the given time, or
// FIXED_MEMBER_TIME) and returns the whole member.
Bytes EncodeBytes(const ScratchDir& dir, const Bytes& data, const LocalTime* time = nullptr);
Bytes TokensOf(const Bytes& member);  // the bytes behind the 36-byte header

struct DecodeOutcome {
  int Result = -1;
  Bytes Output;
  long InputPosition = -1;  // where the input stood after Decode
};

// Decodes the member found at `offset` of `stream` into a fresh output file.
DecodeOutcome DecodeBytes(const ScratchDir& dir, const Bytes& stream, long offset = 0);

std::uint32_t LittleEndian32(const Bytes& bytes, std::size_t at);
