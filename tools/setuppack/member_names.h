// Which member names the preloader can write into its staging directory.
//
// The preloader appends a name unchanged to the staging directory's path and
// opens the result with the ANSI file calls, so a name must be a plain
// Windows file name that fits, with the staging path, in 256 bytes.
#pragma once

#include <cstddef>
#include <string>

// A staging path as long as it usually gets: a 20-character user name and
// the highest staging number the preloader picks.
constexpr const char* USUAL_STAGING_PREFIX =
    "C:\\Users\\ABCDEFGHIJKLMNOPQRST\\AppData\\Local\\Temp\\_Orvane3d32000\\";
constexpr std::size_t PRELOADER_PATH_BUFFER = 256;  // terminator included
std::size_t MaxMemberNameLength();                    // 191

// Empty when the preloader can write a file of this name; else the reason.
std::string MemberNameProblem(const std::string& name);

// Names that differ only in the case of ASCII letters land in one file on
// Windows; this is the form in which they compare equal.
std::string FoldedName(const std::string& name);

// The preloader writes its own Install.ini after the members, over any
// member of that name.
bool IsPreloaderIni(const std::string& name);
bool IsInstaller(const std::string& name);
