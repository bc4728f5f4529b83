#include "container/member_time_text.h"

#include <cstdio>

std::string MemberDate(const MemberHeader& header) {
  DosDateTime t = header.PackedTime();
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", 1980 + (t.Date >> 9), (t.Date >> 5) & 0x0F,
                t.Date & 0x1F);
  return text;
}

std::string MemberTime(const MemberHeader& header) {
  DosDateTime t = header.PackedTime();
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.Time >> 11, (t.Time >> 5) & 0x3F, (t.Time & 0x1F) * 2);
  return text;
}
