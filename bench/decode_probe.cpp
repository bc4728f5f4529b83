// Decodes one member file to file a number of times and prints the seconds
// each run took, as the benchmark of the 32-bit build needs it: the program
// is built for Windows too and runs under Wine, where the benchmark cannot
// reach into the process. Each run is what the preloader does per member:
// open the input, create the output, Decode, close both.
//
//   decode_probe MEMBER OUTPUT RUNS
//
// Prints one line per run: the seconds, then Decode's result.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "lzss.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: decode_probe MEMBER OUTPUT RUNS\n");
    return 2;
  }
  const char* member = argv[1];
  const char* output = argv[2];
  const int runs = std::atoi(argv[3]);
  int failures = 0;
  for (int run = 0; run < runs; ++run) {
    // A fresh file, as in a fresh staging directory; removing the last
    // run's file is not part of the time.
    std::remove(output);
    const auto start = std::chrono::steady_clock::now();
    int result = 0;
    {
      TLZSS codec(0);
      if (codec.OpenInput(member, -1) && codec.OpenOutput(output, -1))
        result = codec.Decode(codec.InputStream, codec.OutputStream);
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%.9f %d\n", seconds.count(), result);
    if (result != 1) ++failures;
  }
  return failures ? 1 : 0;
}
