// The reason a system call failed, as text for messages.
#pragma once

#include <string>

// strerror(errno): the C library's calls, on every system.
std::string ErrnoText();

// The calls of the platform's own API: GetLastError on Windows, errno
// elsewhere.
std::string LastErrorText();
