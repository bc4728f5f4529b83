// The benchmark corpus, made at run time from files the setup step installs
// anyway: text from the Windows headers of the cross compiler, executables
// from the 32-bit Windows programs and libraries of Wine, and seeded random bytes.
// 32 MiB each.
#pragma once

#include <string>
#include <vector>

enum class CorpusKind { Text, Binary, Random };

constexpr std::size_t CORPUS_SIZE = 32u << 20;

const char* CorpusName(CorpusKind kind);
std::vector<CorpusKind> AllCorpusKinds();

// Paths of the raw corpus file and of one member made of it by Encode;
// both are made once and kept in the bench directory.
const std::string& CorpusFile(CorpusKind kind);
const std::string& CorpusMember(CorpusKind kind);
std::string BenchScratchFile(const std::string& name);

// A whole file in memory (empty when it cannot be read).
std::vector<unsigned char> ReadBenchFile(const std::string& path);
