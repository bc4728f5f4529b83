// Writes the fuzzers' seed corpora, made by the codec's own encoder from
// small varied inputs:
//   <dir>/data/       the inputs themselves (round trip)
//   <dir>/member/     one member each, and the format's hand-made examples (decode)
//   <dir>/container/  SETUP.TMP files, sound and a little off (staging, setuppack)
//   <dir>/names/      member names, usual ones and near misses (the name rule)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "container.h"
#include "pe_file.h"
#include "lzss.h"
#include "memory_stream.h"

namespace fs = std::filesystem;

namespace {

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Pseudorandom(std::size_t count, std::uint32_t seed) {
  Bytes bytes(count);
  for (std::uint8_t& b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 16);
  }
  return bytes;
}

Bytes Repeated(const std::string& pattern, std::size_t count) {
  Bytes bytes;
  while (bytes.size() < count)
    bytes.push_back(static_cast<std::uint8_t>(pattern[bytes.size() % pattern.size()]));
  return bytes;
}

// Words from a small vocabulary: text that compresses the way documents do.
Bytes Words(std::size_t count, std::uint32_t seed) {
  static const char* const vocabulary[] = {"Bitte ", "warten ", "Installation ", "wird ",  "vorbereitet ",
                                           "der ",   "die ",    "das ",          "Datei ", "\r\n"};
  Bytes bytes;
  while (bytes.size() < count) {
    seed = seed * 1103515245u + 12345u;
    const char* word = vocabulary[(seed >> 16) % 10];
    bytes.insert(bytes.end(), word, word + std::char_traits<char>::length(word));
  }
  bytes.resize(count);
  return bytes;
}

std::vector<std::pair<std::string, Bytes>> Inputs() {
  // The start of a Windows program: the MZ header and the DOS stub's text.
  Bytes installer(600, 0);
  installer[0] = 'M';
  installer[1] = 'Z';
  installer[60] = 0x80;
  Bytes stub = Text("This program cannot be run in DOS mode.\r\r\n$");
  std::copy(stub.begin(), stub.end(), installer.begin() + 0x4E);
  return {
      {"empty", {}},
      {"one-byte", Text("a")},
      {"overlap", Text("ababababa")},
      {"spaces", Bytes(100, ' ')},
      {"text", Text("Bitte warten. Installation wird vorbereitet...\r\n[STANDARD]\r\nINST_PATH=D:\\\r\n")},
      {"random-300", Pseudorandom(300, 1)},
      {"pattern-2000", Repeated("0123456", 2000)},
      {"words-5000", Words(5000, 2)},
      {"installer", installer},
      {"random-20000", Pseudorandom(20000, 3)},  // a token stream longer than one read block
      {"zeros-80000", Bytes(80000, 0)},          // output longer than one write block
  };
}

Bytes Encoded(const Bytes& data, bool best) {
  FILE* input = OpenMemoryInput(data.data(), data.size());
  MemoryOutput output;
  {
    TLZSS codec(0);
    int made = best ? codec.EncodeBest(input, output.Stream()) : codec.Encode(input, output.Stream());
    if (made != 1) std::abort();
  }
  std::fclose(input);
  return output.Contents();
}

void Put32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A member with a header written by hand: 2025-06-15 10:20:58.
Bytes HandMember(const Bytes& tokens, std::uint32_t unpackedSize) {
  Bytes member;
  for (std::uint32_t field :
       {MEMBER_MAGIC, 29u, 20u, 10u, 15u, 6u, 45u, unpackedSize, static_cast<std::uint32_t>(tokens.size())})
    Put32(member, field);
  member.insert(member.end(), tokens.begin(), tokens.end());
  return member;
}

void Put32At(Bytes& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// An icon file of one image, `side` pixels square.
Bytes IconOf(std::uint8_t side, const Bytes& image) {
  Bytes file = {0, 0, 1, 0, 1, 0, side, side, 0, 0, 1, 0, 32, 0};
  Put32(file, static_cast<std::uint32_t>(image.size()));
  Put32(file, 22);
  file.insert(file.end(), image.begin(), image.end());
  return file;
}

void Write(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.good()) {
    std::fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  fs::path dir = argv[1];
  for (const char* part : {"data", "member", "container", "names", "icon", "image"})
    fs::create_directories(dir / part);

  std::vector<std::pair<std::string, Bytes>> inputs = Inputs();
  for (const auto& [name, data] : inputs) {
    Write(dir / "data" / name, data);
    Write(dir / "member" / name, Encoded(data, false));
  }
  Write(dir / "member" / "text-best", Encoded(inputs[4].second, true));
  // The format's own examples: an overlapping match, a copy of the initial
  // spaces, a match of 18 from near the ring's end.
  Write(dir / "member" / "example-overlap", HandMember({0x03, 0x61, 0x62, 0xEE, 0xF4}, 9));
  Write(dir / "member" / "example-spaces", HandMember({0x00, 0x00, 0x00}, 3));
  Write(dir / "member" / "example-longest", HandMember({0x06, 0xDC, 0xFF, 0x20, 0x20}, 20));

  Bytes installer = Encoded(inputs[8].second, false);
  Bytes text = Encoded(inputs[4].second, false);
  Bytes words = Encoded(inputs[7].second, false);
  Bytes empty = Encoded({}, false);
  Write(dir / "container" / "usual",
        MakeContainer({{"INSTALL.EXE", installer}, {"DATA.TXT", text}, {"EMPTY.DAT", empty}}));
  Write(dir / "container" / "installer-only", MakeContainer({{"INSTALL.EXE", installer}}));
  Write(dir / "container" / "no-entries", MakeContainer(0, {{"INSTALL.EXE", installer}}));
  Write(dir / "container" / "top-bit-count", MakeContainer(0xFFFF, {{"INSTALL.EXE", installer}}));
  Write(dir / "container" / "more-announced",
        MakeContainer(3, {{"INSTALL.EXE", installer}, {"DATA.TXT", text}}));
  Write(dir / "container" / "fewer-announced",
        MakeContainer(1, {{"INSTALL.EXE", installer}, {"DATA.TXT", text}}));
  Write(dir / "container" / "subdirectory",
        MakeContainer({{"SUB\\FILE.DAT", text}, {"INSTALL.EXE", installer}}));
  Write(dir / "container" / "zero-in-name", MakeContainer({{std::string("A.TXT\0B", 7), text}}));
  Write(dir / "container" / "duplicate", MakeContainer({{"A.TXT", text}, {"A.TXT", words}}));
  Write(dir / "container" / "long-name", MakeContainer({{std::string(180, 'N') + ".DAT", text}}));
  Write(dir / "container" / "refused-name", MakeContainer({{"..\\EVIL.EXE", text}}));

  int named = 0;
  for (const std::string& name : std::vector<std::string>{"INSTALL.EXE",
                                                          "Install.ini",
                                                          "a..b",
                                                          ".hidden",
                                                          "README.",
                                                          "readme ",
                                                          "NULL.TXT",
                                                          "COM10",
                                                          "xNUL",
                                                          "caf\xE9.txt",
                                                          "..",
                                                          "... ",
                                                          "..\\EVIL.EXE",
                                                          "../evil",
                                                          "C:EVIL",
                                                          "a:stream",
                                                          "NUL .TXT",
                                                          "com1.txt",
                                                          "LPT\xB9",
                                                          "CONIN$",
                                                          "Aux",
                                                          std::string("A\0B", 3),
                                                          std::string(255, 'N')})
    Write(dir / "names" / std::to_string(named++), Text(name));

  // The small preloader, and icon files of a bitmap and of a PNG image.
  Write(dir / "image" / "small-preloader", SmallPreloader());
  Bytes bitmap(40 + 16 * 16 * 4 + 64, 0);
  Put32At(bitmap, 0, 40), Put32At(bitmap, 4, 16), Put32At(bitmap, 8, 32), bitmap[12] = 1, bitmap[14] = 32;
  Write(dir / "icon" / "bitmap", IconOf(16, bitmap));
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
               0,    0,   0,   48,  0,    0,    0,    48,   8, 6, 0, 0,  0,   0,   0,   0};
  Write(dir / "icon" / "png", IconOf(48, png));
  return 0;
}
