#include "child_process.h"

#ifndef _WIN32

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

ChildEnd RunInChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    int code = body();
    std::fflush(nullptr);
    _exit(code);
  }
  ChildEnd end;
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return end;
  end.Exited = WIFEXITED(status);
  end.Code = end.Exited ? WEXITSTATUS(status) : -1;
  end.Signalled = WIFSIGNALED(status);
  end.Signal = end.Signalled ? WTERMSIG(status) : 0;
  return end;
}

#endif
