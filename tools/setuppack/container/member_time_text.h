// A member's stored modification time as text, read as the decoder reads
// it: only the bits the MS-DOS format holds.
#pragma once

#include <string>

#include "member_header.h"

std::string MemberDate(const MemberHeader& header);  // 2024-05-01
std::string MemberTime(const MemberHeader& header);  // 12:34:56
