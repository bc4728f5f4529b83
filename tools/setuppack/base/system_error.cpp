#include "base/system_error.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

std::string ErrnoText() { return std::strerror(errno); }

#ifdef _WIN32

std::string LastErrorText() {
  DWORD code = GetLastError();
  char text[256];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.' ||
                        text[length - 1] == ' '))
    --length;
  if (length == 0) return "system error " + std::to_string(code);
  return std::string(text, length);
}

#else

std::string LastErrorText() { return ErrnoText(); }

#endif
