#include "member_writer.h"

#include "file_time.h"
#include "lzss.h"
#include "member_header.h"
#include "stream_position.h"

std::int64_t BeginMember(FILE* input, FILE* output) {
  MemberHeader header;
  DosDateTime written;
  if (ReadStreamFileTime(input, written)) header.SetTime(written);
  WriteLittleEndian(output, 4, MEMBER_MAGIC);
  const std::int32_t fields[6] = {header.TwoSeconds, header.Minute, header.Hour,
                                  header.Day,        header.Month,  header.Year};
  std::uint8_t timeFields[24];
  for (int i = 0; i < 24; ++i)
    timeFields[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(fields[i / 4]) >> (8 * (i % 4)));
  std::fwrite(timeFields, 1, sizeof timeFields, output);
  std::int64_t sizePosition = StreamTell(output);
  WriteLittleEndian(output, 4, 0);
  WriteLittleEndian(output, 4, 0);
  return sizePosition;
}

void EndMember(FILE* output, std::int64_t sizePosition, std::uint32_t unpackedSize,
               std::uint32_t packedSize) {
  std::int64_t endPosition = StreamTell(output);
  StreamSeek(output, sizePosition, SEEK_SET);
  WriteLittleEndian(output, 4, unpackedSize);
  WriteLittleEndian(output, 4, packedSize);
  StreamSeek(output, endPosition, SEEK_SET);
}
