#include "container/member_time.h"

#include <cctype>

#include "file_time.h"

namespace {

constexpr std::int64_t SECONDS_PER_DAY = 86400;
constexpr std::int64_t FIRST_MEMBER_SECOND = 315532800;  // 1980-01-01 00:00:00 UTC

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Year, month and day of the proleptic Gregorian calendar for a count of
// days since 1970-01-01, counted in 400-year eras of 146,097 days that
// begin on 1 March, so that the leap day comes last.
void CivilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) {
  days += 719468;  // from 1970-01-01 to 0000-03-01
  std::int64_t era = FloorDiv(days, 146097);
  std::int64_t dayOfEra = days - era * 146097;  // 0..146096
  std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;            // 0..399
  std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);  // 0..365
  std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;                                      // 0 = March
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

bool Digits(const std::string& text, std::size_t at, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

DosDateTime Pack(int year, int month, int day, int hour, int minute, int second) {
  DosDateTime t;
  t.Date = static_cast<std::uint16_t>(day | (month << 5) | ((year - 1980) << 9));
  t.Time = static_cast<std::uint16_t>((second / 2) | (minute << 5) | (hour << 11));
  return t;
}

}  // namespace

bool ParseWallClock(const std::string& text, DosDateTime& time, std::string& why) {
  // YYYY-MM-DD HH:MM:SS
  // 0123456789012345678
  int year, month, day, hour, minute, second;
  bool shaped = text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' && text[13] == ':' &&
                text[16] == ':' && Digits(text, 0, 4, year) && Digits(text, 5, 2, month) &&
                Digits(text, 8, 2, day) && Digits(text, 11, 2, hour) && Digits(text, 14, 2, minute) &&
                Digits(text, 17, 2, second);
  if (!shaped) {
    why = "not of the form \"YYYY-MM-DD HH:MM:SS\"";
    return false;
  }
  if (year < 1980 || year > 2107) {
    why = "the year must lie from 1980 to 2107, which is what a member holds";
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
    why = "no such date or time";
    return false;
  }
  time = Pack(year, month, day, hour, minute, second);
  if (!IsRealDosDateTime(time)) {
    why = "no such date or time";
    return false;
  }
  return true;
}

bool ParseSourceDateEpoch(const std::string& text, std::int64_t& seconds, std::string& why) {
  seconds = 0;
  bool digits = !text.empty();
  for (char c : text) digits = digits && std::isdigit(static_cast<unsigned char>(c));
  if (!digits) {
    why = "not a decimal number of seconds since 1970";
    return false;
  }
  for (char c : text) {
    if (seconds > (INT64_MAX - 9) / 10) {
      why = "too large a number of seconds";
      return false;
    }
    seconds = seconds * 10 + (c - '0');
  }
  if (seconds < FIRST_MEMBER_SECOND) {
    why = "lies before 1980-01-01 00:00:00 UTC (315532800), the earliest time a member holds";
    return false;
  }
  return true;
}

bool ChooseMemberTimes(const std::string& mtime, const char* sourceDateEpoch, MemberTimes& times,
                       std::string& why) {
  times = MemberTimes{};
  if (!mtime.empty()) {
    if (!ParseWallClock(mtime, times.Fixed, why)) {
      why = "--mtime \"" + mtime + "\": " + why;
      return false;
    }
    times.From = MemberTimes::Source::Fixed;
    return true;
  }
  if (sourceDateEpoch && *sourceDateEpoch) {
    if (!ParseSourceDateEpoch(sourceDateEpoch, times.Latest, why)) {
      why = "SOURCE_DATE_EPOCH=" + std::string(sourceDateEpoch) + ": " + why;
      return false;
    }
    times.From = MemberTimes::Source::ClampedUtc;
  }
  return true;
}

bool UtcDosDateTime(std::int64_t seconds, DosDateTime& time) {
  std::int64_t days = FloorDiv(seconds, SECONDS_PER_DAY);
  std::int64_t second = seconds - days * SECONDS_PER_DAY;
  std::int64_t year;
  int month, day;
  CivilFromDays(days, year, month, day);
  if (year < 1980 || year > 2107) return false;
  time = Pack(static_cast<int>(year), month, day, static_cast<int>(second / 3600),
              static_cast<int>(second / 60 % 60), static_cast<int>(second % 60));
  return true;
}

std::int64_t UnixSeconds(const FileStamp& stamp) {
#ifdef _WIN32
  // A FILETIME counts 100 ns from 1601-01-01.
  constexpr std::int64_t FROM_1601_TO_1970 = 11644473600;
  return FloorDiv(stamp.Modified, 10000000) - FROM_1601_TO_1970;
#else
  return FloorDiv(stamp.Modified, 1000000000);
#endif
}

bool MemberTimeOf(const MemberTimes& times, FILE* in, const FileStamp& stamp, DosDateTime& time) {
  switch (times.From) {
    case MemberTimes::Source::Fixed:
      time = times.Fixed;
      return true;
    case MemberTimes::Source::ClampedUtc: {
      std::int64_t written = UnixSeconds(stamp);
      return UtcDosDateTime(written < times.Latest ? written : times.Latest, time);
    }
    case MemberTimes::Source::File:
      break;
  }
  return ReadStreamFileTime(in, time);
}
