// Vector instructions beyond the processor family's baseline (SSE2 on
// x86-64), used by a few hot loops in functions compiled for them and chosen
// at run time.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define CORVDB_X86_AVX2 1

namespace corvdb {
// Whether this processor runs AVX2 code (asked once).
inline bool HasAvx2() {
  static const bool supported = __builtin_cpu_supports("avx2");
  return supported;
}
}  // namespace corvdb
#endif
