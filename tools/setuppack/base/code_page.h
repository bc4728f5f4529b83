// The Windows ANSI code page in which a container stores its names. The
// preloader writes a name's bytes with the ANSI calls, so they must be
// those of the code page of the Windows it runs on; setuppack converts
// between them and the names of the system it runs on (UTF-8 on Linux, the
// ANSI names that Windows gives setuppack.exe) with the system's own
// converters.
#pragma once

#include <string>

class CodePage {
 public:
  static constexpr unsigned DEFAULT = 1252;  // Western European Windows

  // 874, 932, 936, 949, 950 and 1250 to 1258.
  static bool IsKnown(unsigned number);
  // Empty for a known code page, else the usage error.
  static std::string Problem(const std::string& text);

  explicit CodePage(unsigned number = DEFAULT) : number_(number) {}
  unsigned Number() const { return number_; }

  // A name of this system into the code page's bytes; false when a
  // character has no byte sequence there.
  bool FromSystem(const std::string& name, std::string& stored) const;
  // Stored bytes back into a name of this system; false when they hold a
  // byte (sequence) that the code page does not define.
  bool ToSystem(const std::string& stored, std::string& name) const;
  // Stored bytes as UTF-8 text; false as ToSystem.
  bool ToUtf8(const std::string& stored, std::string& text) const;
  // The stored bytes upper-cased as Windows compares file names, as UTF-8:
  // equal for two names exactly when they are one file. Bytes the code page
  // does not define compare as they are.
  std::string UpperKey(const std::string& stored) const;

 private:
  unsigned number_;
};

// Text as this system gives it to setuppack (UTF-8 on Linux, the ANSI code
// page on Windows) into UTF-16, as Windows resources hold text; false when
// it is no such text.
bool SystemTextToUtf16(const std::string& text, std::u16string& wide);
// And back, for showing; "?" where it cannot be shown.
std::string Utf16ToSystemText(const std::u16string& wide);
