#include "member_header.h"

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

bool IsRealDosDateTime(DosDateTime t) {
  int year = 1980 + (t.Date >> 9);
  int month = (t.Date >> 5) & 0x0F;
  int day = t.Date & 0x1F;
  int hour = t.Time >> 11;
  int minute = (t.Time >> 5) & 0x3F;
  int second = (t.Time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  return hour <= 23 && minute <= 59 && second <= 59;
}

DosDateTime MemberHeader::PackedTime() const {
  DosDateTime t;
  t.Time = static_cast<std::uint16_t>((TwoSeconds & 0x1F) | ((Minute & 0x3F) << 5) | ((Hour & 0x1F) << 11));
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

void WriteMemberTime(FILE* stream, DosDateTime t) {
  MemberHeader header;
  header.SetTime(t);
  const std::int32_t fields[6] = {header.TwoSeconds, header.Minute, header.Hour,
                                  header.Day,        header.Month,  header.Year};
  std::uint8_t bytes[24];
  for (int i = 0; i < 24; ++i)
    bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(fields[i / 4]) >> (8 * (i % 4)));
  std::fwrite(bytes, 1, sizeof bytes, stream);
}

std::size_t ReadMemberHeader(FILE* stream, MemberHeader& header) {
  std::size_t got = ReadLittleEndian(stream, 4, header.Magic);
  return got + ReadMemberHeaderAfterMagic(stream, header);
}

std::size_t ReadMemberHeaderAfterMagic(FILE* stream, MemberHeader& header) {
  std::uint8_t bytes[MEMBER_FIELDS_SIZE] = {};  // bytes missing at the end count as 0
  std::size_t got = std::fread(bytes, 1, sizeof bytes, stream);
  ParseMemberHeaderAfterMagic(bytes, header);
  return got;
}

void ParseMemberHeaderAfterMagic(const std::uint8_t bytes[MEMBER_FIELDS_SIZE], MemberHeader& header) {
  std::uint32_t v[8];
  for (int i = 0; i < 8; ++i)
    v[i] = bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 |
           static_cast<std::uint32_t>(bytes[4 * i + 3]) << 24;
  header.TwoSeconds = static_cast<std::int32_t>(v[0]);
  header.Minute = static_cast<std::int32_t>(v[1]);
  header.Hour = static_cast<std::int32_t>(v[2]);
  header.Day = static_cast<std::int32_t>(v[3]);
  header.Month = static_cast<std::int32_t>(v[4]);
  header.Year = static_cast<std::int32_t>(v[5]);
  header.UnpackedSize = v[6];
  header.PackedSize = v[7];
}
