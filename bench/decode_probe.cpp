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
// In the Windows builds, DECODE_PROBE_OFFSET=N in the environment decodes
// the member at byte N of the file (a container's), and DECODE_PROBE_HASH=1
// hashes its bytes as a bound SETUP.EXE does (ContainerDigest, its thread
// included), so that the binding's cost is timed inside the process, apart
// from the scatter of process starts. As in SETUP.EXE the next token block
// is read on the worker thread where there are two processors;
// DECODE_PROBE_READER=0 reads each on the decoding thread instead.
// Exits with 0 when every run decoded (and matched), 1 when not, 2 on
// wrong arguments.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "lzss.h"

#ifdef _WIN32
#include "background_reader.h"
#include "container_digest.h"
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
#ifdef _WIN32
      const char* hash = std::getenv("DECODE_PROBE_HASH");
      // As SETUP.EXE has it: the next token block read (and the blocks
      // hashed) on the worker thread.
      WorkerThread* worker = new WorkerThread;
      BackgroundReader* reader = new BackgroundReader(*worker);
      const char* ahead = std::getenv("DECODE_PROBE_READER");
      if (worker->Running() && !(ahead && *ahead == '0')) codec.Reader = reader;
      ContainerDigest* digest = hash && *hash == '1' ? new ContainerDigest(worker) : nullptr;
      codec.Tap = digest;
#endif
      if (codec.OpenInput(member, offset ? std::atoi(offset) : -1) && codec.OpenOutput(output, -1))
        result = codec.Decode(codec.InputStream, codec.OutputStream);
#ifdef _WIN32
      const std::uint8_t none[SHA256_DIGEST_SIZE] = {};
      if (digest) digest->Matches(none);  // ends the hashing as a bound run does
      delete digest;
      delete reader;
      delete worker;
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
