#include "base/console.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#include <cstdio>

namespace {

std::string Escaped(const std::string& text, bool highBytes) {
  std::string shown;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || (highBytes && c >= 0x80)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

}  // namespace

std::string PrintableName(const std::string& name) { return Escaped(name, true); }
std::string PrintablePath(const std::string& path) { return Escaped(path, false); }

void Console::Error(const std::string& file, const std::string& what) const {
  Err << "setuppack: " << PrintablePath(file) << ": " << what << '\n';
}

void Console::Warning(const std::string& file, const std::string& what) const {
  if (!Quiet) Err << "setuppack: " << PrintablePath(file) << ": warning: " << what << '\n';
}

void Console::Note(const std::string& text) const {
  if (!Quiet) Err << text << '\n';
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}
