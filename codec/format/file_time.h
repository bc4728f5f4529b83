// The local wall-clock modification time of the file open on a stream, in
// the MS-DOS form that member headers carry.
#pragma once

#include <cstdio>

#include "member_header.h"

// False when the time cannot be read or has no MS-DOS form (before 1980 or
// after 2107).
bool ReadStreamFileTime(FILE* stream, DosDateTime& time);

// Sets only the last-write time; false when the value names no real time or
// the platform refuses.
bool SetStreamFileTime(FILE* stream, DosDateTime time);
