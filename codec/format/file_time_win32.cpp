#include <io.h>
#include <windows.h>

#include "file_time.h"

static HANDLE StreamHandle(FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

bool ReadStreamFileTime(FILE* stream, DosDateTime& time) {
  FILETIME written, local;
  WORD date = 0, clock = 0;
  if (!GetFileTime(StreamHandle(stream), nullptr, nullptr, &written)) return false;
  if (!FileTimeToLocalFileTime(&written, &local)) return false;
  if (!FileTimeToDosDateTime(&local, &date, &clock)) return false;
  time.Date = date;
  time.Time = clock;
  return true;
}

bool SetStreamFileTime(FILE* stream, DosDateTime time) {
  FILETIME local, written;
  if (!DosDateTimeToFileTime(time.Date, time.Time, &local)) return false;
  if (!LocalFileTimeToFileTime(&local, &written)) return false;
  return SetFileTime(StreamHandle(stream), nullptr, nullptr, &written) != 0;
}
