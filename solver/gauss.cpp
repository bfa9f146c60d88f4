#include "solver/gauss.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace solver {
namespace {

// The elimination updates columns in groups of up to four: y_c[i] = y_c[i] -
// f[i] * t_c for i in [0, k), where f is the untouched pivot column (the
// multipliers), y_c a column being updated and t_c its divided pivot-row
// entry. Every lane multiplies, rounds, subtracts and rounds exactly as the
// scalar statement does: no fused multiply-add (the build forbids
// contraction, and the vector code uses none), the same operand order, and
// the same rounding mode, since the vector units share the one control
// register with the scalar ones. So the results are the same bits whichever
// path runs. A group shares each load of the multipliers, and the loop runs
// once per group instead of once per column.
//
// When k is not a whole number of vectors, the last vector's worth of rows
// (which overlaps the one before) is computed first from the old values and
// stored last: the overlapping entries get the same value twice, each from
// its old value, and no entry past row k is read or written. Raw pointers:
// the intrinsics take nothing else.
constexpr std::size_t kGroup = 4;

// Up to kGroup columns: where each starts and the multiplier of its row.
struct ColumnGroup {
  double* const* y;
  const double* t;
  std::size_t count;
};

void subtract_multiples_scalar(const ColumnGroup& g, const double* f,
                               std::size_t k) {
  for (std::size_t c = 0; c < g.count; ++c) {
    double* y = g.y[c];
    const double t = g.t[c];
    for (std::size_t i = 0; i < k; ++i) y[i] = y[i] - f[i] * t;
  }
}

#if defined(__x86_64__)
// Four rows at a time. Only for processors that report AVX (and an
// operating system that saves its registers); the binary itself assumes no
// more than the SSE2 of every x86-64. The loops over the group's columns are
// unrolled so that every column's registers stay registers.
template <std::size_t C>
[[gnu::target("avx")]] void subtract_multiples_avx(const ColumnGroup& g,
                                                   const double* f,
                                                   std::size_t k) {
  std::array<double*, C> y{};
  __m256d tv[C];  // std::array would drop the vector type's alignment
#pragma GCC unroll 4
  for (std::size_t c = 0; c < C; ++c) {
    y[c] = g.y[c];
    tv[c] = _mm256_set1_pd(g.t[c]);
  }
  const std::size_t last = k - 4;
  const bool ragged = k % 4 != 0;
  __m256d tail[C] = {};
  if (ragged) {
    const __m256d fv = _mm256_loadu_pd(f + last);
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) {
      tail[c] =
          _mm256_sub_pd(_mm256_loadu_pd(y[c] + last), _mm256_mul_pd(fv, tv[c]));
    }
  }
  for (std::size_t i = 0; i + 4 <= k; i += 4) {
    const __m256d fv = _mm256_loadu_pd(f + i);
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) {
      _mm256_storeu_pd(y[c] + i, _mm256_sub_pd(_mm256_loadu_pd(y[c] + i),
                                               _mm256_mul_pd(fv, tv[c])));
    }
  }
  if (ragged) {
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) _mm256_storeu_pd(y[c] + last, tail[c]);
  }
}

// Eight rows at a time, for processors with AVX-512 (fewer than eight rows
// take the four-row form).
template <std::size_t C>
[[gnu::target("avx512f")]] void subtract_multiples_avx512(const ColumnGroup& g,
                                                          const double* f,
                                                          std::size_t k) {
  std::array<double*, C> y{};
  __m512d tv[C];  // std::array would drop the vector type's alignment
#pragma GCC unroll 4
  for (std::size_t c = 0; c < C; ++c) {
    y[c] = g.y[c];
    tv[c] = _mm512_set1_pd(g.t[c]);
  }
  const std::size_t last = k - 8;
  const bool ragged = k % 8 != 0;
  __m512d tail[C] = {};
  if (ragged) {
    const __m512d fv = _mm512_loadu_pd(f + last);
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) {
      tail[c] =
          _mm512_sub_pd(_mm512_loadu_pd(y[c] + last), _mm512_mul_pd(fv, tv[c]));
    }
  }
  for (std::size_t i = 0; i + 8 <= k; i += 8) {
    const __m512d fv = _mm512_loadu_pd(f + i);
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) {
      _mm512_storeu_pd(y[c] + i, _mm512_sub_pd(_mm512_loadu_pd(y[c] + i),
                                               _mm512_mul_pd(fv, tv[c])));
    }
  }
  if (ragged) {
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) _mm512_storeu_pd(y[c] + last, tail[c]);
  }
}

// Two rows at a time: SSE2 is part of every x86-64.
template <std::size_t C>
void subtract_multiples_sse2(const ColumnGroup& g, const double* f,
                             std::size_t k) {
  std::array<double*, C> y{};
  __m128d tv[C];  // std::array would drop the vector type's alignment
#pragma GCC unroll 4
  for (std::size_t c = 0; c < C; ++c) {
    y[c] = g.y[c];
    tv[c] = _mm_set1_pd(g.t[c]);
  }
  const std::size_t last = k - 2;
  const bool ragged = k % 2 != 0;
  __m128d tail[C] = {};
  if (ragged) {
    const __m128d fv = _mm_loadu_pd(f + last);
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) {
      tail[c] = _mm_sub_pd(_mm_loadu_pd(y[c] + last), _mm_mul_pd(fv, tv[c]));
    }
  }
  for (std::size_t i = 0; i + 2 <= k; i += 2) {
    const __m128d fv = _mm_loadu_pd(f + i);
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) {
      _mm_storeu_pd(y[c] + i,
                    _mm_sub_pd(_mm_loadu_pd(y[c] + i), _mm_mul_pd(fv, tv[c])));
    }
  }
  if (ragged) {
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) _mm_storeu_pd(y[c] + last, tail[c]);
  }
}

template <std::size_t C>
void subtract_multiples_vector(const ColumnGroup& g, const double* f,
                               std::size_t k, Lanes lanes) {
  if (lanes == Lanes::kEight && k >= 8) {
    subtract_multiples_avx512<C>(g, f, k);
  } else if (lanes >= Lanes::kFour && k >= 4) {
    subtract_multiples_avx<C>(g, f, k);
  } else {
    subtract_multiples_sse2<C>(g, f, k);
  }
}
#endif

void subtract_multiples(const ColumnGroup& g, const double* f, std::size_t k,
                        Lanes lanes) {
#if defined(__x86_64__)
  // Fewer rows than one vector: the plain loop.
  if (lanes != Lanes::kOne && k >= 2) {
    switch (g.count) {
      case 4:
        subtract_multiples_vector<4>(g, f, k, lanes);
        return;
      case 3:
        subtract_multiples_vector<3>(g, f, k, lanes);
        return;
      case 2:
        subtract_multiples_vector<2>(g, f, k, lanes);
        return;
      default:
        subtract_multiples_vector<1>(g, f, k, lanes);
        return;
    }
  }
#endif
  subtract_multiples_scalar(g, f, k);
}

// y[i] = 0.0 - y[i] * t for i in [0, k): the pivot column, in place, with
// the same tail as above.
void negate_multiple_scalar(double* y, double t, std::size_t k) {
  for (std::size_t i = 0; i < k; ++i) y[i] = 0.0 - y[i] * t;
}

#if defined(__x86_64__)
[[gnu::target("avx")]] void negate_multiple_avx(double* y, double t,
                                                std::size_t k) {
  const __m256d tv = _mm256_set1_pd(t);
  const __m256d zero = _mm256_setzero_pd();
  const std::size_t last = k - 4;
  const __m256d tail =
      _mm256_sub_pd(zero, _mm256_mul_pd(_mm256_loadu_pd(y + last), tv));
  for (std::size_t i = 0; i + 4 <= k; i += 4) {
    const __m256d product = _mm256_mul_pd(_mm256_loadu_pd(y + i), tv);
    _mm256_storeu_pd(y + i, _mm256_sub_pd(zero, product));
  }
  _mm256_storeu_pd(y + last, tail);
}

void negate_multiple_sse2(double* y, double t, std::size_t k) {
  const __m128d tv = _mm_set1_pd(t);
  const __m128d zero = _mm_setzero_pd();
  const std::size_t last = k - 2;
  const __m128d tail = _mm_sub_pd(zero, _mm_mul_pd(_mm_loadu_pd(y + last), tv));
  for (std::size_t i = 0; i + 2 <= k; i += 2) {
    const __m128d product = _mm_mul_pd(_mm_loadu_pd(y + i), tv);
    _mm_storeu_pd(y + i, _mm_sub_pd(zero, product));
  }
  _mm_storeu_pd(y + last, tail);
}
#endif

void negate_multiple(double* y, double t, std::size_t k, Lanes lanes) {
#if defined(__x86_64__)
  if (lanes >= Lanes::kFour && k >= 4) {
    negate_multiple_avx(y, t, k);
    return;
  }
  if (lanes != Lanes::kOne && k >= 2) {
    negate_multiple_sse2(y, t, k);
    return;
  }
#endif
  negate_multiple_scalar(y, t, k);
}

// Columns other than the pivot column, a block at a time.
constexpr std::size_t kBlock = 64;

struct ColumnBlock {
  std::array<double*, kBlock> y{};
  std::array<double, kBlock> t{};
  std::size_t count = 0;
};

// Divides the pivot-row entries of columns [from, to) by p (never a
// multiply by 1/p).
void divide_pivot_row(ColumnBlock& b, std::size_t from, std::size_t to,
                      std::size_t ip, double p) {
  for (std::size_t c = from; c < to; ++c) b.t[c] = b.y[c][ip] / p;
}

// Every entry of the block's columns: the pivot row gets its divided entry,
// every other row its one multiply and one subtract. The pivot row runs
// through the column update too (one unbroken loop is faster than two around
// it) and then gets its value. The next group's divisions are issued before
// this group's update, so they run while it does instead of holding up the
// update that needs them.
void eliminate_block(ColumnBlock& b, const double* f, std::size_t ip, double p,
                     std::size_t k, Lanes lanes) {
  divide_pivot_row(b, 0, std::min(kGroup, b.count), ip, p);
  for (std::size_t c = 0; c < b.count; c += kGroup) {
    const std::size_t n = std::min(kGroup, b.count - c);
    divide_pivot_row(b, c + n, std::min(c + n + kGroup, b.count), ip, p);
    subtract_multiples({b.y.data() + c, b.t.data() + c, n}, f, k, lanes);
    for (std::size_t i = c; i < c + n; ++i) b.y[i][ip] = b.t[i];
  }
  b.count = 0;
}

}  // namespace

Lanes widest_lanes() {
#if defined(__x86_64__)
  static const Lanes widest =
      __builtin_cpu_supports("avx512f") != 0 ? Lanes::kEight
      : __builtin_cpu_supports("avx") != 0   ? Lanes::kFour
                                             : Lanes::kTwo;
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
  const double p = A(ip, jp);
  const double* f = A.column(jp).data();
  const auto row = std::size_t(ip - 1);
  const auto rows = std::size_t(k);
  ColumnBlock block;
  for (std::int32_t j = 1; j <= N; ++j) {
    if (j == jp) continue;
    block.y[block.count++] = A.column(j).data();
    if (block.count == kBlock) eliminate_block(block, f, row, p, rows, lanes);
  }
  if (block.count > 0) eliminate_block(block, f, row, p, rows, lanes);
  // Pivot column: SGN/p in the pivot row, b - f * (SGN/p) elsewhere. The
  // subtraction from b = 0.0 is kept: 0.0 - 0.0 is +0.0 where a negation
  // would give -0.0. Every row is done from b = 0.0 first, in place; the
  // pivot row and the row that starts from 1.0 then get their own values.
  const double t = sgn / p;
  double* pivot_column = A.column(jp).data();
  const double f_one = one_row >= 1 && one_row <= k ? A(one_row, jp) : 0.0;
  negate_multiple(pivot_column, t, rows, lanes);
  if (one_row >= 1 && one_row <= k && one_row != ip) {
    A(one_row, jp) = 1.0 - f_one * t;
  }
  A(ip, jp) = t;
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
