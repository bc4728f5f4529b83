#include "member_header.h"

DosDateTime MemberHeader::PackedTime() const {
  DosDateTime t;
  t.Time = static_cast<std::uint16_t>((TwoSeconds & 0x1F) | ((Minute & 0x3F) << 5) |
                                      ((Hour & 0x1F) << 11));
  t.Date = static_cast<std::uint16_t>((Day & 0x1F) | ((Month & 0x0F) << 5) | ((Year & 0x7F) << 9));
  return t;
}

void MemberHeader::SetTime(DosDateTime t) {
  TwoSeconds = t.Time & 0x1F;
  Minute = (t.Time >> 5) & 0x3F;
  Hour = t.Time >> 11;
  Day = t.Date & 0x1F;
  Month = (t.Date >> 5) & 0x0F;
  Year = t.Date >> 9;
}

std::size_t ReadLittleEndian(FILE* stream, int byteCount, std::uint32_t& value) {
  unsigned char bytes[4] = {0, 0, 0, 0};
  std::size_t got = std::fread(bytes, 1, static_cast<std::size_t>(byteCount), stream);
  value = 0;
  for (int i = byteCount - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return got;
}

void WriteLittleEndian(FILE* stream, int byteCount, std::uint32_t value) {
  unsigned char bytes[4];
  for (int i = 0; i < byteCount; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  std::fwrite(bytes, 1, static_cast<std::size_t>(byteCount), stream);
}

std::size_t ReadMemberHeader(FILE* stream, MemberHeader& header) {
  std::size_t got = ReadLittleEndian(stream, 4, header.Magic);
  return got + ReadMemberHeaderAfterMagic(stream, header);
}

std::size_t ReadMemberHeaderAfterMagic(FILE* stream, MemberHeader& header) {
  std::uint32_t v[8];
  std::size_t total = 0;
  for (std::uint32_t& field : v) total += ReadLittleEndian(stream, 4, field);
  header.TwoSeconds = static_cast<std::int32_t>(v[0]);
  header.Minute = static_cast<std::int32_t>(v[1]);
  header.Hour = static_cast<std::int32_t>(v[2]);
  header.Day = static_cast<std::int32_t>(v[3]);
  header.Month = static_cast<std::int32_t>(v[4]);
  header.Year = static_cast<std::int32_t>(v[5]);
  header.UnpackedSize = v[6];
  header.PackedSize = v[7];
  return total;
}
