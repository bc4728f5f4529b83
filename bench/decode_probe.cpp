// Decodes one member file to file a number of times and prints the seconds
// each run took, as the benchmark of the 32-bit build needs it: the program
// is built for Windows too and runs under Wine, where the benchmark cannot
// reach into the process. Each run is what the preloader does per member:
// open the input, open the output, Decode, close both. The output exists
// and is empty when a run opens it, as the native benchmark has it too
// (see codec_bench.cpp).
//
//   decode_probe MEMBER OUTPUT RUNS [EXPECTED]
//
// Prints one line per run: the seconds, then Decode's result. With
// EXPECTED, the last run's output must equal that file byte for byte.
//
// DECODE_PROBE_OFFSET=N in the environment decodes the member at byte N of
// the file (a container's). In the Windows builds the member is read as
// SETUP.EXE reads SETUP.TMP, through the container's input (the next block
// read on the worker thread where the process may use two cores), and
// DECODE_PROBE_HASH=1 hashes the bytes, the rest of the file included, as a
// bound SETUP.EXE does, so that the binding's cost is timed inside the
// process, apart from the scatter of process starts.
// Exits with 0 when every run decoded (and matched), 1 when not, 2 on
// wrong arguments.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "lzss.h"

#ifdef _WIN32
#include "container_input.h"
#endif

namespace {

bool SameFiles(const char* a, const char* b) {
  FILE* fa = std::fopen(a, "rb");
  FILE* fb = std::fopen(b, "rb");
  bool same = fa && fb;
  static char blockA[1 << 16], blockB[1 << 16];
  while (same) {
    const std::size_t na = std::fread(blockA, 1, sizeof blockA, fa);
    const std::size_t nb = std::fread(blockB, 1, sizeof blockB, fb);
    same = na == nb;
    for (std::size_t i = 0; same && i < na; ++i) same = blockA[i] == blockB[i];
    if (na == 0) break;
  }
  if (fa) std::fclose(fa);
  if (fb) std::fclose(fb);
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: decode_probe MEMBER OUTPUT RUNS [EXPECTED]\n");
    return 2;
  }
  const char* member = argv[1];
  const char* output = argv[2];
  const int runs = std::atoi(argv[3]);
  int failures = 0;
  for (int run = 0; run < runs; ++run) {
    // Replacing the last run's file is not part of the time.
    std::remove(output);
    if (FILE* empty = std::fopen(output, "wb")) std::fclose(empty);
    const auto start = std::chrono::steady_clock::now();
    int result = 0;
    {
      TLZSS codec(0);
      const char* offset = std::getenv("DECODE_PROBE_OFFSET");
      const long skip = offset ? std::atol(offset) : 0;
#ifdef _WIN32
      const char* hash = std::getenv("DECODE_PROBE_HASH");
      const bool hashed = hash && *hash == '1';
      WorkerThread worker;
      ContainerInput input(worker, hashed);
      std::uint8_t skipped[4096];
      bool opened = input.Open(member);
      for (long left = skip; opened && left > 0; left -= static_cast<long>(sizeof skipped))
        input.Read(skipped, left < static_cast<long>(sizeof skipped) ? static_cast<std::size_t>(left)
                                                                     : sizeof skipped);
      codec.Source = &input;
      if (opened && codec.OpenOutput(output, -1)) result = codec.Decode(nullptr, codec.OutputStream);
      if (hashed) {
        const std::uint8_t none[SHA256_DIGEST_SIZE] = {};
        input.ReadToEnd();
        input.Matches(none);  // ends the hashing as a bound run does
      }
#else
      if (codec.OpenInput(member, offset ? static_cast<std::int32_t>(skip) : -1) &&
          codec.OpenOutput(output, -1))
        result = codec.Decode(codec.InputStream, codec.OutputStream);
#endif
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%.9f %d\n", seconds.count(), result);
    if (result != 1) ++failures;
  }
  if (argc == 5 && runs > 0 && !SameFiles(output, argv[4])) {
    std::fprintf(stderr, "decode_probe: %s differs from %s\n", output, argv[4]);
    ++failures;
  }
  return failures ? 1 : 0;
}
