#include <sys/stat.h>

#include <ctime>

#include "file_time.h"

bool ReadStreamFileTime(FILE* stream, DosDateTime& time) {
  struct stat info;
  if (fstat(fileno(stream), &info) != 0) return false;
  struct tm local;
  if (localtime_r(&info.st_mtime, &local) == nullptr) return false;
  int year = local.tm_year + 1900;
  if (year < 1980 || year > 2107) return false;
  time.Date = static_cast<std::uint16_t>(local.tm_mday | ((local.tm_mon + 1) << 5) | ((year - 1980) << 9));
  time.Time = static_cast<std::uint16_t>((local.tm_sec / 2) | (local.tm_min << 5) | (local.tm_hour << 11));
  return true;
}

bool SetStreamFileTime(FILE* stream, DosDateTime time) {
  // Refuse what the Windows conversion refuses instead of letting mktime
  // roll a day 31 of February into March.
  if (!IsRealDosDateTime(time)) return false;

  struct tm local = {};
  local.tm_year = 1980 + (time.Date >> 9) - 1900;
  local.tm_mon = ((time.Date >> 5) & 0x0F) - 1;
  local.tm_mday = time.Date & 0x1F;
  local.tm_hour = time.Time >> 11;
  local.tm_min = (time.Time >> 5) & 0x3F;
  local.tm_sec = (time.Time & 0x1F) * 2;
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
