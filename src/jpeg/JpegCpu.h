#pragma once
// Which processor-specific routines the decoder may use, decided once.

namespace jpeg {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define STAGWERK_JPEG_AVX2 1
// Marks a function compiled for AVX2; callers check CpuHasAvx2() first.
#define JPEG_TARGET_AVX2 __attribute__((target("avx2")))
#endif

inline bool CpuHasAvx2() {
#if defined(STAGWERK_JPEG_AVX2)
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}

}  // namespace jpeg
