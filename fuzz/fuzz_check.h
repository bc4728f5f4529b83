// A finding that is not a sanitizer's: print what broke and abort, which
// libFuzzer records as a crash with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzFailure(const char* what, const char* file, int line) {
  std::fprintf(stderr, "\n==FUZZ CHECK FAILED== %s:%d: %s\n", file, line, what);
  std::abort();
}

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : FuzzFailure(#condition, __FILE__, __LINE__))
