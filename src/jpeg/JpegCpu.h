#pragma once
// Which processor-specific routines the decoder may use.

namespace jpeg {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define STAGWERK_JPEG_AVX2 1
// Marks a function compiled for AVX2; callers check UseAvx2() first.
#define JPEG_TARGET_AVX2 __attribute__((target("avx2")))
#endif

// Off only in tests, which hold the AVX2 routines against the others.
inline bool gAvx2Allowed = true;

// True when the processor runs AVX2 and it is allowed; asked once per read.
inline bool UseAvx2() {
#if defined(STAGWERK_JPEG_AVX2)
  static const bool has = __builtin_cpu_supports("avx2");
  return has && gAvx2Allowed;
#else
  return false;
#endif
}

}  // namespace jpeg
