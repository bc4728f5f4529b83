#include "user_sid.h"

#include <windows.h>
#include <sddl.h>

std::string CurrentUserSid() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  union {
    TOKEN_USER user;
    BYTE bytes[256];
  } info;
  DWORD needed = 0;
  BOOL read = GetTokenInformation(token, TokenUser, &info, sizeof info, &needed);
  CloseHandle(token);
  char* text = nullptr;
  if (!read || !ConvertSidToStringSidA(info.user.User.Sid, &text)) return "";
  std::string sid = text;
  LocalFree(text);
  return sid;
}
