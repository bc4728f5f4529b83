// Running part of a test in a child process of its own, for what a test
// program must not do to itself: end by a signal, run under a file-size
// limit. POSIX only.
#pragma once

#ifndef _WIN32

#include <functional>

struct ChildEnd {
  bool Exited = false;  // Code holds the exit code
  int Code = -1;
  bool Signalled = false;  // Signal ended it
  int Signal = 0;
};

// Forks, runs `body` in the child and exits with its result; waits for the
// child, which may also end by a signal.
ChildEnd RunInChild(const std::function<int()>& body);

#endif
