// The fuzz targets' assertion: a broken invariant names itself and aborts, which libFuzzer
// (and the corpus replay) reports with the input that caused it. Unlike assert it stays on in
// release builds.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)
