#include "fuzz_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz_check.h"

namespace fs = std::filesystem;

namespace {

std::string MakeRoot() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/preloader-fuzz-XXXXXX";
  FUZZ_CHECK(mkdtemp(&pattern[0]) != nullptr);
  return pattern;
}

void RemoveRoot() {
  std::error_code ignored;
  fs::remove_all(FuzzRoot(), ignored);
}

}  // namespace

const std::string& FuzzRoot() {
  // Never destroyed: the exit handler that removes the directory may run
  // after the destructors of function-local statics.
  static const std::string* root = [] {
    const std::string* made = new std::string(MakeRoot());
    std::atexit(RemoveRoot);
    return made;
  }();
  return *root;
}

std::set<std::string> TreeBelow(const std::string& directory) {
  std::set<std::string> tree;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(directory, error); !error && it != fs::end(it);
       it.increment(error)) {
    std::string relative = it->path().lexically_relative(directory).generic_string();
    tree.insert(it->is_directory() && !it->is_symlink() ? relative + "/" : relative);
  }
  FUZZ_CHECK(!error);
  return tree;
}

void EmptyDirectory(const std::string& directory) {
  std::error_code error;
  fs::remove_all(directory, error);
  FUZZ_CHECK(!error);
  fs::create_directories(directory, error);
  FUZZ_CHECK(!error);
}

void WriteHostFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  FUZZ_CHECK(out.good());
}

Bytes ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  FUZZ_CHECK(in.good());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
