// Encode then Decode gives back every input byte for byte.
#include <gtest/gtest.h>

#include <cstdio>

#include "members.h"

namespace {

void ExpectRoundTrip(const ScratchDir& dir, const Bytes& data, const std::string& what) {
  Bytes member = EncodeBytes(dir, data);
  ASSERT_EQ(LittleEndian32(member, 28), data.size()) << what;
  ASSERT_EQ(LittleEndian32(member, 32), member.size() - 36) << what;
  DecodeOutcome out = DecodeBytes(dir, member);
  ASSERT_EQ(out.Result, 1) << what;
  ASSERT_EQ(out.InputPosition, static_cast<long>(member.size())) << what;
  ASSERT_TRUE(out.Output == data) << what << ": decoded bytes differ";
}

Bytes Periodic(std::size_t count, std::size_t period) {
  Bytes b(count);
  for (std::size_t i = 0; i < count; ++i) b[i] = static_cast<std::uint8_t>("period!?x"[i % period]);
  return b;
}

Bytes Text(std::size_t count) {
  static const char* words[] = {"setup ",     "install ", "the ", "medium ", "file ",      "window ",
                                "directory ", "a ",       "of ",  "\r\n",    "temporary ", "member "};
  Bytes b;
  std::uint32_t x = 12345;
  while (b.size() < count) {
    x = x * 1103515245 + 12345;
    const char* w = words[(x >> 16) % 12];
    b.insert(b.end(), w, w + std::char_traits<char>::length(w));
  }
  b.resize(count);
  return b;
}

TEST(RoundTrip, ShortInputsOfEveryLength) {
  ScratchDir dir;
  for (std::size_t n = 0; n <= 40; ++n) {
    ExpectRoundTrip(dir, RandomBytes(n, static_cast<std::uint32_t>(n + 1)), "random " + std::to_string(n));
    ExpectRoundTrip(dir, Bytes(n, ' '), "spaces " + std::to_string(n));
    ExpectRoundTrip(dir, Periodic(n, 3), "periodic " + std::to_string(n));
  }
}

TEST(RoundTrip, LengthsAroundTheRingSize) {
  ScratchDir dir;
  for (std::size_t n : {4077, 4078, 4079, 4095, 4096, 4097, 4112, 4113, 4114, 8192, 8209}) {
    ExpectRoundTrip(dir, Text(n), "text " + std::to_string(n));
    ExpectRoundTrip(dir, Bytes(n, 0), "zeros " + std::to_string(n));
    ExpectRoundTrip(dir, RandomBytes(n, 99), "random " + std::to_string(n));
  }
}

TEST(RoundTrip, VariedData) {
  ScratchDir dir;
  ExpectRoundTrip(dir, Bytes(300000, 0xAB), "one byte repeated");
  for (std::size_t period : {1, 2, 5, 7, 9})
    ExpectRoundTrip(dir, Periodic(100000, period), "period " + std::to_string(period));
  ExpectRoundTrip(dir, RandomBytes(200000, 5), "random");
  ExpectRoundTrip(dir, Text(500000), "text");
  // Text with long runs and random stretches mixed in.
  Bytes mixed = Text(50000);
  Bytes noise = RandomBytes(20000, 77);
  mixed.insert(mixed.begin() + 10000, noise.begin(), noise.end());
  mixed.insert(mixed.begin() + 30000, 5000, ' ');
  ExpectRoundTrip(dir, mixed, "mixed");
}

TEST(RoundTrip, ARealProgramFromThisMachine) {
  ScratchDir dir;
#ifdef _WIN32
  const char* candidates[] = {"C:\\windows\\system32\\kernel32.dll", "C:\\windows\\system32\\user32.dll"};
#else
  const char* candidates[] = {"/bin/ls", "/usr/bin/cmake", "/bin/sh"};
#endif
  for (const char* path : candidates) {
    FILE* f = std::fopen(path, "rb");
    if (!f) continue;
    std::fclose(f);
    ExpectRoundTrip(dir, ReadWholeFile(path), path);
    return;
  }
  GTEST_SKIP() << "no system binary found";
}

}  // namespace
