#include <sys/stat.h>

#include <ctime>

#include "file_time.h"

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

bool ReadStreamFileTime(FILE* stream, DosDateTime& time) {
  struct stat info;
  if (fstat(fileno(stream), &info) != 0) return false;
  struct tm local;
  if (localtime_r(&info.st_mtime, &local) == nullptr) return false;
  int year = local.tm_year + 1900;
  if (year < 1980 || year > 2107) return false;
  time.Date = static_cast<std::uint16_t>(local.tm_mday | ((local.tm_mon + 1) << 5) |
                                         ((year - 1980) << 9));
  time.Time = static_cast<std::uint16_t>((local.tm_sec / 2) | (local.tm_min << 5) |
                                         (local.tm_hour << 11));
  return true;
}

bool SetStreamFileTime(FILE* stream, DosDateTime time) {
  // Refuse what the Windows conversion refuses instead of letting mktime
  // roll a day 31 of February into March.
  int year = 1980 + (time.Date >> 9);
  int month = (time.Date >> 5) & 0x0F;
  int day = time.Date & 0x1F;
  int hour = time.Time >> 11;
  int minute = (time.Time >> 5) & 0x3F;
  int second = (time.Time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;

  struct tm local = {};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  time_t when = mktime(&local);
  if (when == static_cast<time_t>(-1)) return false;

  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // last access stays
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  std::fflush(stream);
  return futimens(fileno(stream), times) == 0;
}
