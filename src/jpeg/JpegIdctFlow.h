#pragma once
// The 8-point transform every inverse-DCT path runs, written once so that the
// paths cannot drift apart: float scalars, or vectors of floats holding one
// row or column per lane (the constants are broadcast by the vector types'
// own arithmetic). Always inlined, so a path built for a wider instruction set
// gets its own copy in that set.

namespace jpeg::flow {

constexpr float kC1414 = 1.414213562f;
constexpr float kC1848 = 1.847759065f;
constexpr float kC1082 = 1.082392200f;
constexpr float kC2613 = 2.613125930f;

template <typename V>
__attribute__((always_inline)) inline void Idct1D(V& x0, V& x1, V& x2, V& x3, V& x4, V& x5, V& x6, V& x7) {
  V t10 = x0 + x4;
  V t11 = x0 - x4;
  V t13 = x2 + x6;
  V t12 = (x2 - x6) * kC1414 - t13;
  V e0 = t10 + t13;
  V e3 = t10 - t13;
  V e1 = t11 + t12;
  V e2 = t11 - t12;

  V z13 = x5 + x3;
  V z10 = x5 - x3;
  V z11 = x1 + x7;
  V z12 = x1 - x7;
  V t7 = z11 + z13;
  V o11 = (z11 - z13) * kC1414;
  V z5 = (z10 + z12) * kC1848;
  V o10 = z5 - z12 * kC1082;
  V o12 = z5 - z10 * kC2613;
  V t6 = o12 - t7;
  V t5 = o11 - t6;
  V t4 = o10 - t5;

  x0 = e0 + t7;
  x7 = e0 - t7;
  x1 = e1 + t6;
  x6 = e1 - t6;
  x2 = e2 + t5;
  x5 = e2 - t5;
  x3 = e3 + t4;
  x4 = e3 - t4;
}

}  // namespace jpeg::flow
