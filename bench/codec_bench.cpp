// Benchmarks of the codec and its yardsticks. The codec works file to file
// with the files in the page cache; the classic yardsticks work in memory
// alone. Every benchmark counts the corpus's unpacked bytes, so MB/s
// compare directly. Decoding is timed by the clock on the wall, as the
// 32-bit build under Wine can only be; encoding by the process's CPU time.
//
// A decode's output file exists and is empty when the timed run opens it,
// as the 32-bit probe under Wine has it (bench/decode_probe.cpp): Wine
// creates every file by cutting it to nothing, and on ext4 a file cut to
// nothing starts its write-back when it is closed, which costs a few
// milliseconds per 32 MiB. Both builds pay that, so that the two compare
// the code and not the way the file came to be.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "classic_decoder.h"
#include "classic_encoder.h"
#include "codec_bench.h"
#include "corpus.h"
#include "lzss.h"
#include "plain_decoder.h"
#include "plain_encoder.h"

namespace {

FILE* OpenBuffered(const std::string& path, const char* mode) {
  FILE* f = std::fopen(path.c_str(), mode);
  if (f) std::setvbuf(f, nullptr, _IOFBF, STREAM_BUFFER_SIZE);
  return f;
}

void Fail(benchmark::State& state, const char* what) { state.SkipWithError(what); }

// Removing the last iteration's output is not part of the time.
void RemoveUntimed(benchmark::State& state, const std::string& path) {
  state.PauseTiming();
  std::remove(path.c_str());
  state.ResumeTiming();
}

// An empty output file in place of the last iteration's, not timed.
void EmptyOutputUntimed(benchmark::State& state, const std::string& path) {
  state.PauseTiming();
  std::remove(path.c_str());
  if (FILE* f = std::fopen(path.c_str(), "wb")) std::fclose(f);
  state.ResumeTiming();
}

void BM_Decode(benchmark::State& state, CorpusKind kind) {
  const std::string& member = CorpusMember(kind);
  std::string out = BenchScratchFile("decode.out");
  for (auto _ : state) {
    EmptyOutputUntimed(state, out);
    TLZSS codec(0);
    if (!codec.OpenInput(member.c_str(), -1) || !codec.OpenOutput(out.c_str(), -1) ||
        codec.Decode(codec.InputStream, codec.OutputStream) != 1)
      return Fail(state, "decode failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CORPUS_SIZE));
}

void BM_PlainDecode(benchmark::State& state, CorpusKind kind) {
  const std::string& member = CorpusMember(kind);
  std::string out = BenchScratchFile("plain-decode.out");
  for (auto _ : state) {
    EmptyOutputUntimed(state, out);
    FILE* in = OpenBuffered(member, "rb");
    FILE* o = OpenBuffered(out, "wb+");
    PlainDecodeResult r = PlainDecode(in, o);
    std::fclose(in);
    std::fclose(o);
    if (r.Result != 1) return Fail(state, "plain decode failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CORPUS_SIZE));
}

void BM_ClassicDecode(benchmark::State& state, CorpusKind kind) {
  const std::vector<std::uint8_t> member = ReadBenchFile(CorpusMember(kind));
  std::vector<std::uint8_t> output(CORPUS_SIZE + 144);
  for (auto _ : state) {
    std::size_t n = ClassicDecode(member.data(), member.size(), output.data(), output.size());
    benchmark::DoNotOptimize(output.data());
    if (n != CORPUS_SIZE) return Fail(state, "classic decode failed");
  }
  output.resize(CORPUS_SIZE);
  if (output != ReadBenchFile(CorpusFile(kind))) return Fail(state, "classic decode differs from the corpus");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CORPUS_SIZE));
}

// Encode or EncodeBest, one member of the whole corpus file per iteration.
using EncodeCall = int (TLZSS::*)(FILE*, FILE*);

void BM_Encode(benchmark::State& state, CorpusKind kind, EncodeCall encode) {
  const std::string& raw = CorpusFile(kind);
  std::string out = BenchScratchFile("encode.out");
  std::uint32_t packed = 0;
  for (auto _ : state) {
    RemoveUntimed(state, out);
    TLZSS codec(0);
    if (!codec.OpenInput(raw.c_str(), -1) || !codec.OpenOutput(out.c_str(), -1) ||
        (codec.*encode)(codec.InputStream, codec.OutputStream) != 1)
      return Fail(state, "encode failed");
    packed = codec.PackedSize;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CORPUS_SIZE));
  state.counters["packed"] = packed;
}

void BM_PlainEncode(benchmark::State& state, CorpusKind kind) {
  const std::string& raw = CorpusFile(kind);
  std::string out = BenchScratchFile("plain-encode.out");
  for (auto _ : state) {
    RemoveUntimed(state, out);
    FILE* in = OpenBuffered(raw, "rb");
    FILE* o = OpenBuffered(out, "wb");
    PlainEncodeTokens(in, o);
    std::fclose(in);
    std::fclose(o);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CORPUS_SIZE));
}

// The same bytes as Encode: the corpus member's token stream.
void BM_ClassicEncode(benchmark::State& state, CorpusKind kind) {
  const std::vector<std::uint8_t> raw = ReadBenchFile(CorpusFile(kind));
  std::vector<std::uint8_t> tokens(ClassicTokenCapacity(raw.size()));
  std::size_t written = 0;
  for (auto _ : state) {
    written = ClassicEncode(raw.data(), raw.size(), tokens.data());
    benchmark::DoNotOptimize(tokens.data());
  }
  tokens.resize(written);
  const std::vector<std::uint8_t> member = ReadBenchFile(CorpusMember(kind));
  if (member.size() < 36 || tokens != std::vector<std::uint8_t>(member.begin() + 36, member.end()))
    return Fail(state, "classic encode differs from Encode");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CORPUS_SIZE));
}

void BM_Memcpy(benchmark::State& state) {
  std::vector<char> from(CORPUS_SIZE, 'x'), to(CORPUS_SIZE);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), CORPUS_SIZE);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CORPUS_SIZE));
}

void BM_FileCopy(benchmark::State& state) {
  const std::string& raw = CorpusFile(CorpusKind::Text);
  std::string out = BenchScratchFile("copy.out");
  std::vector<char> block(STREAM_BUFFER_SIZE);
  for (auto _ : state) {
    RemoveUntimed(state, out);
    FILE* in = OpenBuffered(raw, "rb");
    FILE* o = OpenBuffered(out, "wb");
    std::size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), in)) > 0) std::fwrite(block.data(), 1, got, o);
    std::fclose(in);
    std::fclose(o);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CORPUS_SIZE));
}

}  // namespace

void RegisterCodecBenchmarks() {
  for (CorpusKind kind : AllCorpusKinds()) {
    std::string suffix = std::string("/") + CorpusName(kind);
    benchmark::RegisterBenchmark(("decode" + suffix).c_str(), BM_Decode, kind)->UseRealTime();
    benchmark::RegisterBenchmark(("classic_decode" + suffix).c_str(), BM_ClassicDecode, kind)->UseRealTime();
    benchmark::RegisterBenchmark(("plain_decode" + suffix).c_str(), BM_PlainDecode, kind)->UseRealTime();
    benchmark::RegisterBenchmark(("encode" + suffix).c_str(), BM_Encode, kind, &TLZSS::Encode);
    benchmark::RegisterBenchmark(("classic_encode" + suffix).c_str(), BM_ClassicEncode, kind);
    benchmark::RegisterBenchmark(("plain_encode" + suffix).c_str(), BM_PlainEncode, kind);
    benchmark::RegisterBenchmark(("encode_best" + suffix).c_str(), BM_Encode, kind, &TLZSS::EncodeBest);
  }
  benchmark::RegisterBenchmark("memcpy", BM_Memcpy);
  benchmark::RegisterBenchmark("file_copy", BM_FileCopy);
}
