#include "member_writer.h"

#include "file_time.h"
#include "lzss.h"
#include "member_header.h"
#include "stream_position.h"

std::int64_t BeginMember(FILE* input, FILE* output) {
  DosDateTime written;
  if (!ReadStreamFileTime(input, written)) written = DosDateTime{};  // all six fields 0
  WriteLittleEndian(output, 4, MEMBER_MAGIC);
  WriteMemberTime(output, written);
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
