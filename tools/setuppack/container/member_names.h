// Which member names setuppack accepts, built on the one rule that the
// preloader applies to every name it writes (member_name.h).
//
// Every command adds what keeps a name the same file wherever the preloader
// runs: bytes that the container's code page defines (the preloader hands
// them to Windows as they are), no trailing dot or blank (Windows drops
// them, so the file would get another name), and a length that fits the
// preloader's 256-byte path buffer behind a usual staging path.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "base/code_page.h"

// A staging path as long as it usually gets: a 20-character user name and
// the highest staging number the preloader picks.
constexpr const char* USUAL_STAGING_PREFIX =
    "C:\\Users\\ABCDEFGHIJKLMNOPQRST\\AppData\\Local\\Temp\\_Orvane3d32000\\";
constexpr std::size_t PRELOADER_PATH_BUFFER = 256;  // terminator included
std::size_t MaxMemberNameLength();                  // 191

// Empty when the preloader writes a member of this name as a plain file of
// its staging directory, and nothing else; else the reason. Zero bytes count:
// the name is all of its stored bytes.
std::string NameRuleProblem(const std::string& name);

// The same, and the stricter checks of every command on top, for a name
// stored in `page`.
std::string MemberNameProblem(const std::string& name, const CodePage& page = CodePage());

// Equal for two names stored in `page` exactly when Windows keeps one file
// for both (case and trailing dots and blanks do not count there).
std::string WindowsNameKey(const std::string& name, const CodePage& page = CodePage());

// The one rule by which list, test and extract judge the names of a
// container, entry by entry in its order: a name must pass
// MemberNameProblem and must not land on the file of an earlier entry.
class EntryNameRule {
 public:
  explicit EntryNameRule(const CodePage& page) : page_(page) {}
  // Empty when entry `index` may have this name; else the reason.
  std::string Problem(int index, const std::string& name);

 private:
  struct First {
    int Index;
    std::string Name;
  };
  CodePage page_;
  std::map<std::string, First> byWindowsName_;
};

// The preloader writes its own Install.ini after the members, over any
// member of that name; it starts the member named INSTALL.EXE.
bool IsPreloaderIni(const std::string& name);
bool IsInstaller(const std::string& name);
