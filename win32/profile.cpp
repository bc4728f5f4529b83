#include "profile.h"

#include <cstdlib>
#include <cstring>

#include "win32.h"

TProfile::TProfile(const char* section, const char* fileName) : section_(section), fileName_(fileName) {
  // OFSTRUCT holds OFS_MAXPATHNAME characters; the platform cannot look up a
  // longer name, and a full path that would not fit it is never taken: the
  // name stays as passed then.
  if (std::strlen(fileName) >= static_cast<std::size_t>(OFS_MAXPATHNAME)) return;
  OFSTRUCT info;
  std::memset(&info, 0, sizeof info);
  if (OpenFile(fileName, &info, OF_EXIST) == HFILE_ERROR) return;
  const void* end = std::memchr(info.szPathName, 0, sizeof info.szPathName);
  if (end && end != static_cast<const void*>(info.szPathName + sizeof info.szPathName - 1) &&
      info.szPathName[0] != '\0')
    fileName_ = info.szPathName;
}

void* TProfile::operator new(std::size_t size) noexcept { return std::malloc(size); }

void TProfile::operator delete(void* object) noexcept { std::free(object); }

bool TProfile::WriteEntry(const char* key, const char* value) {
  return WritePrivateProfileStringA(section_.c_str(), key, value, fileName_.c_str()) != 0;
}
