// The time that goes into each member's header. By default it is the file's
// own local wall-clock time, as the codec's Encode reads it. For containers
// that must come out the same byte for byte, whenever and wherever they are
// made, there are two other ways:
//
//   --mtime "YYYY-MM-DD HH:MM:SS"  every member gets that wall-clock time;
//   SOURCE_DATE_EPOCH=SECONDS      every member gets its file's time, or that
//                                  moment when the file is newer, both as
//                                  wall-clock time in UTC, so that neither
//                                  the time zone nor a fresh checkout's file
//                                  times change a byte.
//
// A member holds whole even seconds from 1980 to 2107 (the MS-DOS date and
// time); odd seconds are rounded down.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "files/input_file.h"
#include "member_header.h"

struct MemberTimes {
  enum class Source { File, Fixed, ClampedUtc };
  Source From = Source::File;
  DosDateTime Fixed;        // Source::Fixed
  std::int64_t Latest = 0;  // Source::ClampedUtc: seconds since 1970
};

// "YYYY-MM-DD HH:MM:SS", exactly so, a real date and time from 1980 to 2107.
// False with the reason.
bool ParseWallClock(const std::string& text, DosDateTime& time, std::string& why);

// The value of SOURCE_DATE_EPOCH: decimal digits only, and not before
// 1980-01-01 00:00:00 UTC, the first moment a member can hold. False with
// the reason.
bool ParseSourceDateEpoch(const std::string& text, std::int64_t& seconds, std::string& why);

// The times for create and medium: --mtime when it is given (text not
// empty), else SOURCE_DATE_EPOCH when it is set and not empty (sourceDateEpoch
// not null), else the files' own times. False with the reason.
bool ChooseMemberTimes(const std::string& mtime, const char* sourceDateEpoch, MemberTimes& times,
                       std::string& why);

// A moment (seconds since 1970) as UTC wall-clock time; false when it lies
// outside what a member holds.
bool UtcDosDateTime(std::int64_t seconds, DosDateTime& time);

// The moment a file was last written, in seconds since 1970, rounded down.
std::int64_t UnixSeconds(const FileStamp& stamp);

// The time the member of the file with this stamp gets under `times`; the
// file is open on `in`. False when it cannot be held (the header then gets
// zeros and the preloader gives the file the time of unpacking).
bool MemberTimeOf(const MemberTimes& times, FILE* in, const FileStamp& stamp, DosDateTime& time);
