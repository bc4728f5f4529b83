// The one rule for member names against the systems that open the files:
// every name it accepts, put behind a directory, must name a plain file
// directly inside that directory, both as a POSIX kernel resolves the path
// and as Win32 normalises it, and must not be a Windows device.
//
// The two models below follow how each system treats a path, not the rule:
// they walk the joined path segment by segment. On the host the name is also
// created for real in an empty directory.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_files.h"
#include "member_name.h"

namespace {

std::vector<std::string> Split(const std::string& path, char separator) {
  std::vector<std::string> segments(1);
  for (char c : path) {
    if (c == separator)
      segments.emplace_back();
    else
      segments.back() += c;
  }
  return segments;
}

// "." and ".." and empty segments resolved as the kernel resolves them; the
// directory holds no links, so the walk is lexical.
std::vector<std::string> ResolvePosix(const std::string& path) {
  std::vector<std::string> resolved;
  for (const std::string& segment : Split(path, '/')) {
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (!resolved.empty()) resolved.pop_back();
      continue;
    }
    resolved.push_back(segment);
  }
  return resolved;
}

// Win32's normalisation of a full DOS path: '/' is a separator too, empty
// segments fold, a segment is "." or ".." once its trailing blanks are gone,
// and every other segment loses its trailing dots and blanks (one that loses
// everything names the directory it stands in).
std::vector<std::string> NormaliseWindows(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  std::vector<std::string> resolved;
  for (std::string segment : Split(path, '\\')) {
    std::string unblanked = segment;
    while (!unblanked.empty() && unblanked.back() == ' ') unblanked.pop_back();
    if (unblanked == "..") {
      if (resolved.size() > 1) resolved.pop_back();  // never above the drive
      continue;
    }
    while (!segment.empty() && (segment.back() == '.' || segment.back() == ' ')) segment.pop_back();
    if (segment.empty()) continue;
    resolved.push_back(segment);
  }
  return resolved;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows's own test for a device in a path's last segment: the part before
// the first '.' or ':', its trailing blanks dropped, compared in any case.
bool IsWindowsDevice(const std::string& segment) {
  std::string stem = segment.substr(0, segment.find_first_of(".:"));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = Upper(c);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (stem == device) return true;
  if (stem.size() != 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) return false;
  unsigned char digit = static_cast<unsigned char>(stem[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// What a Windows file name cannot hold.
bool WindowsCanHold(const std::string& segment) {
  for (unsigned char c : segment)
    if (c < 0x20 || std::strchr("<>:\"/\\|?*", c)) return false;
  return true;
}

void CheckPosix(const std::string& name) {
  // A C string ends at the first zero byte.
  std::string path = std::string("/base/dir/") + name.c_str();
  std::vector<std::string> resolved = ResolvePosix(path);
  FUZZ_CHECK(resolved.size() == 3 && resolved[0] == "base" && resolved[1] == "dir");
  FUZZ_CHECK(resolved[2] == name);
}

void CheckWindows(const std::string& name) {
  std::string path = std::string("C:\\base\\dir\\") + name.c_str();
  std::vector<std::string> resolved = NormaliseWindows(path);
  FUZZ_CHECK(resolved.size() == 4 && resolved[0] == "C:" && resolved[1] == "base" && resolved[2] == "dir");
  const std::string& file = resolved[3];
  FUZZ_CHECK(WindowsCanHold(file));
  FUZZ_CHECK(!IsWindowsDevice(file));
  // The file Windows makes is the one the name is compared as.
  FUZZ_CHECK(SameFileNameOnWindows(name.data(), name.size(), file.data(), file.size()));
}

// Creates the name in an empty directory: exactly one entry of that name
// appears there.
void CheckHost(const std::string& name) {
  static const std::string directory = [] {
    std::string made = FuzzRoot() + "/names";
    EmptyDirectory(made);
    return made;
  }();
  int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  FUZZ_CHECK(dir >= 0);
  int fd = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
    std::set<std::string> entries = TreeBelow(directory);
    FUZZ_CHECK(entries.size() == 1 && *entries.begin() == name);
    unlinkat(dir, name.c_str(), 0);
  } else {
    FUZZ_CHECK(errno == ENAMETOOLONG);
  }
  close(dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  if (CheckMemberName(name.data(), name.size()) != MemberNameFault::None) return 0;
  CheckPosix(name);
  CheckWindows(name);
  CheckHost(name);
  return 0;
}
