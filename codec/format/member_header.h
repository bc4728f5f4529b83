// The 36-byte header in front of every member's token stream.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int MEMBER_HEADER_SIZE = 36;

// The file's local modification time as the two 16-bit words of the MS-DOS
// format: seconds / 2, minute and hour in the time word; day, month and
// years since 1980 in the date word.
struct DosDateTime {
  std::uint16_t Date = 0;
  std::uint16_t Time = 0;
};

// True when the two words name a real date and time from 1980-01-01 00:00:00
// to 2107-12-31 23:59:58 (no 30 February, no minute 60).
bool IsRealDosDateTime(DosDateTime t);

struct MemberHeader {
  std::uint32_t Magic = 0;
  std::int32_t TwoSeconds = 0;
  std::int32_t Minute = 0;
  std::int32_t Hour = 0;
  std::int32_t Day = 0;
  std::int32_t Month = 0;
  std::int32_t Year = 0;
  std::uint32_t UnpackedSize = 0;
  std::uint32_t PackedSize = 0;

  // Only the bits the MS-DOS format holds are taken from each field.
  DosDateTime PackedTime() const;
  void SetTime(DosDateTime t);
};

// Reads a little-endian value of 1 to 4 bytes. Bytes missing at the end of
// the stream count as 0; the result says how many bytes were there.
std::size_t ReadLittleEndian(FILE* stream, int byteCount, std::uint32_t& value);
void WriteLittleEndian(FILE* stream, int byteCount, std::uint32_t value);

// Writes the header's six time fields (24 bytes, TwoSeconds to Year) at the
// stream's position: how an encoder stamps a member, and how a caller that
// wants another time than the file's stamps it afresh.
void WriteMemberTime(FILE* stream, DosDateTime t);

// Reads a whole header in the same way; returns the number of bytes read.
std::size_t ReadMemberHeader(FILE* stream, MemberHeader& header);
// The same for the 32 bytes behind the magic, once the magic has been read.
std::size_t ReadMemberHeaderAfterMagic(FILE* stream, MemberHeader& header);
// The fields behind the magic from those 32 bytes as they stand in a file.
constexpr int MEMBER_FIELDS_SIZE = MEMBER_HEADER_SIZE - 4;
void ParseMemberHeaderAfterMagic(const std::uint8_t bytes[MEMBER_FIELDS_SIZE], MemberHeader& header);
