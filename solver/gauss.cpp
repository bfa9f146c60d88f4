#include "solver/gauss.h"

#include <cassert>
#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace solver {
namespace {

// y[i] = y[i] - x[i] * t for i in [0, n): one column of the elimination.
//
// y is the column being updated, x the untouched pivot column (the
// multipliers f), t the divided pivot-row entry of y's column; the two
// columns never overlap. Every lane multiplies, rounds, subtracts and rounds
// exactly as the scalar statement does: no fused multiply-add (the build
// forbids contraction, and the vector code uses none), the same operand
// order, and the same rounding mode, since the vector units share the one
// control register with the scalar ones. So the results are the same bits
// whichever path runs. Raw pointers: the intrinsics take nothing else.
void subtract_multiple_scalar(double* y, const double* x, double t,
                              std::size_t n, std::size_t from) {
  for (std::size_t i = from; i < n; ++i) y[i] = y[i] - x[i] * t;
}

#if defined(__x86_64__)
// Four entries at a time. Only for processors that report AVX (and an
// operating system that saves its registers); the binary itself assumes no
// more than the SSE2 of every x86-64.
[[gnu::target("avx")]] void subtract_multiple_avx(double* y, const double* x,
                                                  double t, std::size_t n) {
  const __m256d tv = _mm256_set1_pd(t);
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m256d product = _mm256_mul_pd(_mm256_loadu_pd(x + i), tv);
    _mm256_storeu_pd(y + i, _mm256_sub_pd(_mm256_loadu_pd(y + i), product));
  }
  subtract_multiple_scalar(y, x, t, n, i);
}

// Two entries at a time: SSE2 is part of every x86-64.
void subtract_multiple_sse2(double* y, const double* x, double t,
                            std::size_t n) {
  const __m128d tv = _mm_set1_pd(t);
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const __m128d product = _mm_mul_pd(_mm_loadu_pd(x + i), tv);
    _mm_storeu_pd(y + i, _mm_sub_pd(_mm_loadu_pd(y + i), product));
  }
  subtract_multiple_scalar(y, x, t, n, i);
}

#endif

void subtract_multiple(double* y, const double* x, double t, std::size_t n,
                       Lanes lanes) {
  switch (lanes) {
#if defined(__x86_64__)
    case Lanes::kFour:
      subtract_multiple_avx(y, x, t, n);
      return;
    case Lanes::kTwo:
      subtract_multiple_sse2(y, x, t, n);
      return;
#endif
    default:
      subtract_multiple_scalar(y, x, t, n, 0);
      return;
  }
}

}  // namespace

Lanes widest_lanes() {
#if defined(__x86_64__)
  static const Lanes widest =
      __builtin_cpu_supports("avx") != 0 ? Lanes::kFour : Lanes::kTwo;
  return widest;
#else
  return Lanes::kOne;
#endif
}

void eliminate(MatrixRef A, std::int32_t N, std::int32_t ip, std::int32_t jp,
               double sgn, std::int32_t k, std::int32_t one_row) {
  eliminate(A, N, ip, jp, sgn, k, one_row, widest_lanes());
}

void eliminate(MatrixRef A, std::int32_t N, std::int32_t ip, std::int32_t jp,
               double sgn, std::int32_t k, std::int32_t one_row, Lanes lanes) {
  assert(1 <= ip && ip <= k && k <= A.rows());
  // Never wider than the processor runs.
  if (std::uint8_t(lanes) > std::uint8_t(widest_lanes())) {
    lanes = widest_lanes();
  }
  assert(1 <= jp && jp <= N && N <= A.cols());
  // The row-by-row form walks along rows, which in column-major storage is a
  // stride of LDA. Each new entry depends only on its own old value, its
  // row's multiplier f = old A(i,jp) and the divided pivot-row entry of its
  // column, so the same values come out when we go column by column instead:
  // while the other columns are done, column jp still holds every f, and it
  // is transformed last.
  //
  // The pivot row itself runs through the column update too (one unbroken
  // loop is faster than two around it) and then gets its proper value: its
  // entry is the old entry divided by p, never multiplied by 1/p.
  const double p = A(ip, jp);
  const double* f = A.column(jp).data();
  for (std::int32_t j = 1; j <= N; ++j) {
    if (j == jp) continue;
    double* y = A.column(j).data();
    const double t = y[ip - 1] / p;
    subtract_multiple(y, f, t, std::size_t(k), lanes);
    y[ip - 1] = t;
  }
  // Pivot column: SGN/p in the pivot row, b - f * (SGN/p) elsewhere. The
  // subtraction from b = 0.0 is kept: 0.0 - 0.0 is +0.0 where a negation
  // would give -0.0.
  A(ip, jp) = sgn / p;
  const double t = A(ip, jp);
  for (std::int32_t i = 1; i <= k; ++i) {
    if (i == ip) continue;
    const double b = i == one_row ? 1.0 : 0.0;
    A(i, jp) = b - A(i, jp) * t;
  }
}

void GAUSS(MatrixRef A, std::int32_t M, std::int32_t N, std::int32_t IP,
           std::int32_t JP, double SGN, std::int32_t K, std::int32_t LV,
           [[maybe_unused]] std::int32_t LDA,
           [[maybe_unused]] std::int32_t NCOL) {
  assert(A.rows() == LDA && A.cols() == NCOL);
  // A leaving variable that carried the infeasibility flag was counted in
  // the phase-1 row with coefficient 1; its new column keeps that 1.
  const std::int32_t one_row = LV < 0 && K >= M + 1 ? M + 1 : 0;
  eliminate(A, N, IP, JP, SGN, K, one_row);
}

}  // namespace solver
