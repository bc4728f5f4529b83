#include "member_names.h"

#include <cstdio>
#include <cstring>

namespace {

std::string Hex(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", c);
  return text;
}

// Windows opens a device instead of a file for these stems, whatever the
// extension.
bool IsReservedDevice(const std::string& name) {
  std::string stem = FoldedName(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const fixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : fixed)
    if (stem == device) return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::size_t MaxMemberNameLength() {
  return PRELOADER_PATH_BUFFER - 1 - std::strlen(USUAL_STAGING_PREFIX);
}

std::string MemberNameProblem(const std::string& name) {
  if (name.empty()) return "the name is empty";
  for (unsigned char c : name) {
    if (c == 0) return "the name contains a zero byte, at which the preloader would cut it";
    if (c < 0x20 || c == 0x7F) return "the name contains the control character " + Hex(c);
    if (c >= 0x80)
      return "the name contains the non-ASCII byte " + Hex(c) +
             "; the preloader takes names as bytes of the Windows ANSI code page, so keep "
             "them to plain ASCII";
    if (std::strchr("\\/:*?\"<>|", c))
      return std::string("the name contains '") + static_cast<char>(c) +
             "', which a Windows file name cannot hold (the preloader creates no subdirectories)";
  }
  if (name.back() == '.' || name.back() == ' ')
    return "the name ends with a dot or a blank, which Windows drops, so the file would get "
           "another name";
  if (IsReservedDevice(name)) return "the name is a reserved Windows device name";
  if (name.size() > MaxMemberNameLength())
    return "the name has " + std::to_string(name.size()) + " bytes; behind a staging path such as " +
           USUAL_STAGING_PREFIX + " it would overflow the preloader's " +
           std::to_string(PRELOADER_PATH_BUFFER) + "-byte path buffer, so names may have at most " +
           std::to_string(MaxMemberNameLength()) + " bytes";
  return {};
}

std::string FoldedName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

bool IsPreloaderIni(const std::string& name) { return FoldedName(name) == "INSTALL.INI"; }
bool IsInstaller(const std::string& name) { return FoldedName(name) == "INSTALL.EXE"; }
