// The halves of input_file.cpp that differ between POSIX and Windows
// (input_file_posix.cpp, input_file_win32.cpp) share this.
#pragma once

#include <string>

#include "input_file.h"

// How a file differs from what was listed of it, for a message.
std::string InputChangeText(const FileStamp& then, const FileStamp& now);
