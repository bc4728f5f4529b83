#include "console.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#include <cstdio>

void Console::Error(const std::string& file, const std::string& what) const {
  Err << "setuppack: " << file << ": " << what << '\n';
}

void Console::Warning(const std::string& file, const std::string& what) const {
  if (!Quiet) Err << "setuppack: " << file << ": warning: " << what << '\n';
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
