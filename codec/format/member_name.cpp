#include "member_name.h"

#include <cstring>

namespace {

bool EqualsFolded(const char* text, std::size_t length, const char* upper) {
  if (std::strlen(upper) != length) return false;
  for (std::size_t i = 0; i < length; ++i)
    if (ComparedNameByte(text[i]) != upper[i]) return false;
  return true;
}

// Windows opens a device for these stems whatever follows the first dot, and
// drops blanks at the stem's end first ("NUL .TXT" is NUL). COM and LPT take
// a digit, or a superscript one, two or three (0xB9, 0xB2, 0xB3 in the ANSI
// code page).
bool IsDeviceName(const char* name, std::size_t length) {
  std::size_t stem = 0;
  while (stem < length && name[stem] != '.') ++stem;
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  static const char* const fixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : fixed)
    if (EqualsFolded(name, stem, device)) return true;
  if (stem != 4) return false;
  if (!EqualsFolded(name, 3, "COM") && !EqualsFolded(name, 3, "LPT")) return false;
  unsigned char last = static_cast<unsigned char>(name[3]);
  return (last >= '0' && last <= '9') || last == 0xB9 || last == 0xB2 || last == 0xB3;
}

}  // namespace

MemberNameFault CheckMemberName(const char* name, std::size_t length) {
  if (!name || length == 0) return MemberNameFault::Empty;
  bool onlyDotsAndBlanks = true;
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) return MemberNameFault::ControlCharacter;
    if (c == '\\' || c == '/') return MemberNameFault::Separator;
    if (std::strchr(":*?\"<>|", c)) return MemberNameFault::ForbiddenCharacter;
    if (c != '.' && c != ' ') onlyDotsAndBlanks = false;
  }
  if (onlyDotsAndBlanks) return MemberNameFault::DotsAndBlanks;
  if (IsDeviceName(name, length)) return MemberNameFault::DeviceName;
  return MemberNameFault::None;
}

MemberNameFault CheckMemberName(const char* name) {
  return CheckMemberName(name, name ? std::strlen(name) : 0);
}

const char* MemberNameFaultText(MemberNameFault fault) {
  switch (fault) {
    case MemberNameFault::None:
      return "the name is fine";
    case MemberNameFault::Empty:
      return "the name is empty";
    case MemberNameFault::ControlCharacter:
      return "the name contains a control character";
    case MemberNameFault::Separator:
      return "the name contains '\\' or '/': members are plain file names, never paths";
    case MemberNameFault::ForbiddenCharacter:
      return "the name contains one of : * ? \" < > |, which a Windows file name cannot hold";
    case MemberNameFault::DotsAndBlanks:
      return "the name is only dots and blanks, which Windows trims to \".\", \"..\" or nothing";
    case MemberNameFault::DeviceName:
      return "the name is a Windows device name";
  }
  return "the name is refused";
}

char ComparedNameByte(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::size_t ComparedNameLength(const char* name, std::size_t length) {
  while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ')) --length;
  return length;
}

bool SameFileNameOnWindows(const char* a, std::size_t aLength, const char* b, std::size_t bLength) {
  aLength = ComparedNameLength(a, aLength);
  if (ComparedNameLength(b, bLength) != aLength) return false;
  for (std::size_t i = 0; i < aLength; ++i)
    if (ComparedNameByte(a[i]) != ComparedNameByte(b[i])) return false;
  return true;
}
