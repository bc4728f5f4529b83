// Where the commands write: results to Out, messages and the progress line
// to Err. The tests hand in string streams; main() hands in the real ones.
#pragma once

#include <ostream>
#include <string>

// Exit codes, as the shell sees them.
constexpr int EXIT_OK = 0;
constexpr int EXIT_BAD_DATA = 1;  // bad or refused data, or an I/O failure
constexpr int EXIT_USAGE = 2;

struct Console {
  std::ostream& Out;
  std::ostream& Err;
  bool ErrIsTerminal = false;
  bool Quiet = false;

  // "setuppack: FILE: what is wrong", FILE made printable
  void Error(const std::string& file, const std::string& what) const;
  void Warning(const std::string& file, const std::string& what) const;
  // A line on Err that -q silences, such as a closing summary.
  void Note(const std::string& text) const;
  bool ShowsProgress() const { return ErrIsTerminal && !Quiet; }
};

bool StderrIsTerminal();

// Text for messages, so that no byte of a name or path reaches the terminal
// as a control sequence. A member name is bytes of a Windows code page, never
// the terminal's: every byte outside printable ASCII shows as \xNN ("\x1b").
// A path is the local system's own text: only control characters are escaped.
std::string PrintableName(const std::string& name);
std::string PrintablePath(const std::string& path);
