// Which member names setuppack accepts, built on the one rule that the
// preloader applies to every name it writes (member_name.h).
//
// `extract` holds a container to that rule alone. `create` and `test` add
// what keeps a name the same file wherever the preloader runs: plain ASCII
// (the preloader takes names as bytes of whatever ANSI code page the user's
// Windows has), no trailing dot or blank (Windows drops them, so the file
// would get another name), and a length that fits the preloader's 256-byte
// path buffer behind a usual staging path.
#pragma once

#include <cstddef>
#include <map>
#include <string>

// A staging path as long as it usually gets: a 20-character user name and
// the highest staging number the preloader picks.
constexpr const char* USUAL_STAGING_PREFIX =
    "C:\\Users\\ABCDEFGHIJKLMNOPQRST\\AppData\\Local\\Temp\\_Orvane3d32000\\";
constexpr std::size_t PRELOADER_PATH_BUFFER = 256;  // terminator included
std::size_t MaxMemberNameLength();                    // 191

// Empty when the preloader writes a member of this name as a plain file of
// its staging directory, and nothing else; else the reason. Zero bytes count:
// the name is all of its stored bytes.
std::string NameRuleProblem(const std::string& name);

// The same, and the stricter checks of `create` and `test` on top.
std::string MemberNameProblem(const std::string& name);

// Equal for two names exactly when Windows keeps one file for both (case of
// ASCII letters and trailing dots and blanks do not count there).
std::string WindowsNameKey(const std::string& name);

// The one rule by which list, test and extract judge the names of a
// container, entry by entry in its order: a name must pass
// MemberNameProblem and must not land on the file of an earlier entry.
class EntryNameRule {
 public:
  // Empty when entry `index` may have this name; else the reason.
  std::string Problem(int index, const std::string& name);

 private:
  struct First {
    int Index;
    std::string Name;
  };
  std::map<std::string, First> byWindowsName_;
};

// The preloader writes its own Install.ini after the members, over any
// member of that name; it starts the member named INSTALL.EXE.
bool IsPreloaderIni(const std::string& name);
bool IsInstaller(const std::string& name);
