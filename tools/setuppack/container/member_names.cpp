#include "container/member_names.h"

#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "member_name.h"

namespace {

std::string Hex(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", c);
  return text;
}

unsigned char FirstControlCharacter(const std::string& name) {
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return c;
  return 0;
}

}  // namespace

std::size_t MaxMemberNameLength() { return PRELOADER_PATH_BUFFER - 1 - std::strlen(USUAL_STAGING_PREFIX); }

std::string NameRuleProblem(const std::string& name) {
  MemberNameFault fault = CheckMemberName(name.data(), name.size());
  if (fault == MemberNameFault::None) return {};
  if (fault == MemberNameFault::ControlCharacter) {
    unsigned char c = FirstControlCharacter(name);
    if (c == 0) return "the name contains a zero byte, at which the preloader would cut it";
    return "the name contains the control character " + Hex(c);
  }
  return MemberNameFaultText(fault);
}

std::string MemberNameProblem(const std::string& name, const CodePage& page) {
  std::string problem = NameRuleProblem(name);
  if (!problem.empty()) return problem;
  std::string text;
  if (!page.ToUtf8(name, text)) {
    for (unsigned char c : name)
      if (c >= 0x80)
        return "the name holds bytes that code page " + std::to_string(page.Number()) +
               " does not define (the first above 0x7F is " + Hex(c) +
               "); name the code page the container was made for with --codepage";
    return "the name holds bytes that code page " + std::to_string(page.Number()) + " does not define";
  }
  if (name.back() == '.' || name.back() == ' ')
    return "the name ends with a dot or a blank, which Windows drops, so the file would get "
           "another name";
  if (name.size() > MaxMemberNameLength())
    return "the name has " + std::to_string(name.size()) + " bytes; behind a staging path such as " +
           USUAL_STAGING_PREFIX + " it would overflow the preloader's " +
           std::to_string(PRELOADER_PATH_BUFFER) + "-byte path buffer, so names may have at most " +
           std::to_string(MaxMemberNameLength()) + " bytes";
  return {};
}

std::string WindowsNameKey(const std::string& name, const CodePage& page) {
  std::string compared(ComparedNameLength(name.data(), name.size()), '\0');
  bool ascii = true;
  for (std::size_t i = 0; i < compared.size(); ++i) {
    compared[i] = ComparedNameByte(name[i]);
    ascii = ascii && static_cast<unsigned char>(name[i]) < 0x80;
  }
  // Beyond ASCII, case is that of the characters the bytes stand for.
  return ascii ? compared : page.UpperKey(name.substr(0, compared.size()));
}

bool IsPreloaderIni(const std::string& name) { return WindowsNameKey(name) == "INSTALL.INI"; }
bool IsInstaller(const std::string& name) { return WindowsNameKey(name) == "INSTALL.EXE"; }

std::string EntryNameRule::Problem(int index, const std::string& name) {
  std::string problem = MemberNameProblem(name, page_);
  if (!problem.empty()) return problem;
  auto [it, added] = byWindowsName_.emplace(WindowsNameKey(name, page_), First{index, name});
  if (added) return {};
  const First& first = it->second;
  // MemberNameProblem refuses trailing dots and blanks: only case is left.
  return "the preloader writes it over entry " + std::to_string(first.Index) + " (" +
         PrintableName(first.Name) + "), whose name " +
         (first.Name == name ? "is the same" : "differs only in case");
}
