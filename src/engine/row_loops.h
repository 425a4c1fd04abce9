// How the row loops are compiled: twice, for AVX2 and for any x86-64, with the version chosen
// once when the program loads. Off (VOBRIX_NO_TARGET_CLONES) for ThreadSanitizer, whose
// runtime is not ready when the loader runs the choosing functions.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(VOBRIX_NO_TARGET_CLONES)
#define VOBRIX_ROW_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VOBRIX_ROW_LOOP
#endif

namespace vobrix {

// Four doubles that the compiler keeps in one AVX register (two SSE ones by default); each
// element is computed on its own, with the same IEEE operations, on either target.
using Lanes = double __attribute__((vector_size(32)));

}  // namespace vobrix
