// Which names a container member may have: the one rule that the
// preloader's extraction and every setuppack command apply.
//
// A member is written as a plain file directly inside the directory it is
// extracted to: the preloader appends the name to its staging directory's
// path and creates no subdirectories. A name passes only when that file
// stays a file in that directory, on Windows as on any other system: no
// separator, no drive or stream, nothing Windows trims to "." or "..", no
// device, nothing a Windows file name cannot hold.
//
// Plain C++ without the standard library's strings: the preloader links it
// too, and it carries no C++ runtime.
#pragma once

#include <cstddef>

enum class MemberNameFault {
  None,
  Empty,
  ControlCharacter,    // bytes 0x00 to 0x1F and 0x7F
  Separator,           // '\' or '/' anywhere: absolute names and subdirectories
  ForbiddenCharacter,  // ':' (a drive or a stream) and * ? " < > |
  DotsAndBlanks,       // ".", "..", "...", " ", ". .": Windows trims them to "." or ".." or nothing
  DeviceName,          // CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$, any case, any extension
};

// The first fault of the name's `length` bytes, or None.
MemberNameFault CheckMemberName(const char* name, std::size_t length);

// For a zero-terminated name.
MemberNameFault CheckMemberName(const char* name);

// A short English sentence for messages: "the name contains '\' or '/'".
const char* MemberNameFaultText(MemberNameFault fault);

// Windows keeps one file for names that differ only in the case of ASCII
// letters or in trailing dots and blanks: "Install.exe", "INSTALL.EXE" and
// "INSTALL.EXE. " are the same file there. Two members whose names are the
// same in this sense overwrite each other.
bool SameFileNameOnWindows(const char* a, std::size_t aLength, const char* b, std::size_t bLength);

// The two steps of that comparison, for callers that sort or index names:
// the length that counts (trailing dots and blanks dropped), and each byte
// as compared (ASCII letters upper-cased).
std::size_t ComparedNameLength(const char* name, std::size_t length);
char ComparedNameByte(char c);
