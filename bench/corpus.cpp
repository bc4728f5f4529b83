#include "corpus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "lzss.h"

namespace fs = std::filesystem;

namespace {

std::string BenchDirectory() {
  const char* dir = std::getenv("PRELOADER_BENCH_DIR");
  fs::path path = dir && *dir ? fs::path(dir) : fs::temp_directory_path() / "preloader-bench";
  fs::create_directories(path);
  return path.string();
}

// Concatenates the matching files below the first existing directory, in
// name order, again and again until the corpus is full.
void FillFromFiles(FILE* out, const std::vector<std::string>& directories,
                   const std::vector<std::string>& suffixes) {
  std::vector<fs::path> files;
  for (const std::string& dir : directories) {
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      if (!entry.is_regular_file()) continue;
      std::string name = entry.path().filename().string();
      for (const std::string& suffix : suffixes)
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
          files.push_back(entry.path());
    }
    if (!files.empty()) break;
  }
  if (files.empty()) throw std::runtime_error("no files for the corpus");
  std::sort(files.begin(), files.end());
  std::vector<char> block(1 << 16);
  std::size_t written = 0;
  while (written < CORPUS_SIZE) {
    for (const fs::path& file : files) {
      FILE* in = std::fopen(file.string().c_str(), "rb");
      if (!in) continue;
      std::size_t got;
      while (written < CORPUS_SIZE && (got = std::fread(block.data(), 1, block.size(), in)) > 0) {
        got = std::min(got, CORPUS_SIZE - written);
        std::fwrite(block.data(), 1, got, out);
        written += got;
      }
      std::fclose(in);
      if (written == CORPUS_SIZE) return;
    }
  }
}

void FillRandom(FILE* out) {
  std::vector<unsigned char> block(1 << 16);
  std::uint64_t x = 0x9E3779B97F4A7C15ull;
  for (std::size_t written = 0; written < CORPUS_SIZE; written += block.size()) {
    for (auto& b : block) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      b = static_cast<unsigned char>(x >> 32);
    }
    std::fwrite(block.data(), 1, block.size(), out);
  }
}

void MakeCorpus(CorpusKind kind, const std::string& path) {
  std::string partial = path + ".partial";
  FILE* out = std::fopen(partial.c_str(), "wb");
  if (!out) throw std::runtime_error("cannot write " + partial);
  switch (kind) {
    case CorpusKind::Text:
      FillFromFiles(out, {"/usr/share/mingw-w64/include", "/usr/include"}, {".h"});
      break;
    case CorpusKind::Binary:
      // 32-bit Windows programs and libraries, as an installer carries them;
      // the 64-bit ones where no 32-bit Wine is installed.
      FillFromFiles(out,
                    {"/usr/lib/i386-linux-gnu/wine/i386-windows",
                     "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", "/usr/i686-w64-mingw32/lib"},
                    {".dll", ".exe", ".a"});
      break;
    case CorpusKind::Random:
      FillRandom(out);
      break;
  }
  std::fclose(out);
  fs::rename(partial, path);
}

void MakeMember(const std::string& raw, const std::string& path) {
  std::string partial = path + ".partial";
  TLZSS codec(0);
  if (!codec.OpenInput(raw.c_str(), -1) || !codec.OpenOutput(partial.c_str(), -1) ||
      !codec.Encode(codec.InputStream, codec.OutputStream))
    throw std::runtime_error("cannot encode " + raw);
  codec.OpenOutput(nullptr, -1);
  fs::rename(partial, path);
}

}  // namespace

const char* CorpusName(CorpusKind kind) {
  switch (kind) {
    case CorpusKind::Text:
      return "text";
    case CorpusKind::Binary:
      return "binary";
    case CorpusKind::Random:
      return "random";
  }
  return "?";
}

std::vector<CorpusKind> AllCorpusKinds() {
  return {CorpusKind::Text, CorpusKind::Binary, CorpusKind::Random};
}

std::vector<unsigned char> ReadBenchFile(const std::string& path) {
  std::vector<unsigned char> bytes;
  std::error_code error;
  const auto size = fs::file_size(path, error);
  FILE* f = error ? nullptr : std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  bytes.resize(static_cast<std::size_t>(size));
  if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
  std::fclose(f);
  return bytes;
}

std::string BenchScratchFile(const std::string& name) { return (fs::path(BenchDirectory()) / name).string(); }

const std::string& CorpusFile(CorpusKind kind) {
  static std::map<CorpusKind, std::string> paths;
  auto found = paths.find(kind);
  if (found != paths.end()) return found->second;
  std::string path = BenchScratchFile(std::string(CorpusName(kind)) + ".raw");
  if (!fs::exists(path) || fs::file_size(path) != CORPUS_SIZE) MakeCorpus(kind, path);
  return paths[kind] = path;
}

const std::string& CorpusMember(CorpusKind kind) {
  static std::map<CorpusKind, std::string> paths;
  auto found = paths.find(kind);
  if (found != paths.end()) return found->second;
  const std::string& raw = CorpusFile(kind);
  std::string path = BenchScratchFile(std::string(CorpusName(kind)) + ".member");
  if (!fs::exists(path) || fs::last_write_time(path) < fs::last_write_time(raw)) MakeMember(raw, path);
  return paths[kind] = path;
}
