// The fuzzers' own directory on the host, and what lies in it.
#pragma once

#include <set>
#include <string>

#include "memory_stream.h"

// A fresh directory below $TMPDIR (or /tmp), made once per process and
// removed with everything in it when the process exits normally.
const std::string& FuzzRoot();

// Every file and directory below `directory`, as paths relative to it with
// '/' between components; directories end with '/'.
std::set<std::string> TreeBelow(const std::string& directory);

void EmptyDirectory(const std::string& directory);
void WriteHostFile(const std::string& path, const std::uint8_t* data, std::size_t size);
Bytes ReadHostFile(const std::string& path);
