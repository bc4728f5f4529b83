// The files `create` packs, and the checks that keep out what the preloader
// could not write back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "container_layout.h"
#include "files/input_file.h"

constexpr std::uint64_t MAX_MEMBER_SIZE = 0xFFFFFFFFull;  // sizes are 32-bit

struct PayloadFile {
  std::string Path;    // as the user named it, or directory + entry
  std::string Name;    // the base name, as this system names the file
  std::string Stored;  // Name in the container's code page, set by CheckPayload
  std::uint64_t Size = 0;
  FileStamp Stamp;  // as listed; the file must still be so when it is read
};

struct Problem {
  std::string File;
  std::string What;
};

// One file per FILE argument, and the files directly inside each DIR
// argument in byte order of their names, so that every run packs the same
// members in the same order. A FILE argument is read through its links; a
// symbolic link inside a DIR is a problem unless `followLinks`.
std::vector<PayloadFile> CollectPayload(const std::vector<std::string>& arguments, bool followLinks,
                                        std::vector<Problem>& problems);

// Stores each name in `page` (PayloadFile::Stored), and finds everything the
// preloader could not write back: names the code page cannot hold, bad
// names, names equal apart from case, too many entries, files too large,
// and the container itself among its own inputs.
void CheckPayload(std::vector<PayloadFile>& files, const std::string& container,
                  std::vector<Problem>& problems, const CodePage& page = CodePage());
