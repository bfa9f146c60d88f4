#include "solver/gauss.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace solver {
namespace {

// The elimination computes y_c[i] = y_c[i] - f[i] * t_c for every row i in
// [0, k) of every column c but the pivot column, where f is the untouched
// pivot column (the multipliers) and t_c the column's pivot-row entry divided
// by p. The pivot column itself, last, gets y[i] = 0.0 - y[i] * t. Every lane
// multiplies, rounds, subtracts and rounds exactly as the scalar statement
// does: no fused multiply-add (the build forbids contraction), the same
// operand order, and the same rounding mode, since the vector units share
// the one control register with the scalar ones. So the results are the same
// bits whichever width runs.
//
// One kernel serves every width: W doubles per vector, W = 1 being the plain
// scalar loop. The rows are cut into panels of up to kPanel vectors; a panel's
// multipliers are loaded into registers once, and then every column is
// loaded, updated and stored down the panel in turn, so that the stores run
// in address order and the only other load is the column's t (loading the
// multipliers again beside every column's values, or storing several
// columns in turn, costs more than the stores themselves). When k is not
// a whole number of vectors, the last vector's worth of rows (which overlaps
// the one before) belongs to the last panel: it is computed first from the
// old values and stored last, so the overlapping entries get the same value
// twice, each from its old value, and no entry past row k is read or
// written.
constexpr std::size_t kPanel = 8;

// The pivot-row entries are divided up front, kChunk columns at a time.
constexpr std::size_t kChunk = 64;

// W doubles as one value: the compiler's generic vectors, so that the same
// expression compiles to SSE2, AVX or AVX-512 depending on the instruction
// set of the function it is inlined into.
template <std::size_t W>
struct LaneType {
  using type [[gnu::vector_size(W * sizeof(double))]] = double;
};
template <>
struct LaneType<1> {
  using type = double;
};
template <std::size_t W>
using Vec = typename LaneType<W>::type;

// Loads and stores take the vector by reference: a vector passed by value
// would be passed differently by the functions of each instruction set.
template <std::size_t W>
[[gnu::always_inline]] inline void load(Vec<W>& v, const double* p) {
  std::memcpy(&v, p, sizeof v);
}

template <std::size_t W>
[[gnu::always_inline]] inline void store(double* p, const Vec<W>& v) {
  std::memcpy(p, &v, sizeof v);
}

// The pivot-row entries of n neighbouring columns (`row` points at the
// first, the others `stride` apart), divided by p W at a time: a division,
// never a multiply by 1/p, and each lane rounded on its own exactly as a
// scalar division would be.
template <std::size_t W>
[[gnu::always_inline]] inline void divide_row(const double* row,
                                              std::size_t stride, std::size_t n,
                                              double p, double* t) {
  std::size_t x = 0;
  if constexpr (W > 1) {
    for (; x + W <= n; x += W) {
      Vec<W> v;
#pragma GCC unroll 8
      for (std::size_t l = 0; l < W; ++l) v[l] = row[(x + l) * stride];
      v = v / p;
      store<W>(t + x, v);
    }
  }
  for (; x < n; ++x) t[x] = row[x * stride] / p;
}

// One panel, rows [r, r + N * W), and with kTail also rows [k - W, k), of
// the columns from `first` up to `stop` (`stride` apart), t their divided
// pivot-row entries. The pivot row, when the panel holds it, runs through
// the update with the rest of its column and then gets its divided entry.
template <std::size_t W, std::size_t N, bool kTail>
[[gnu::always_inline]] inline void panel(double* first, double* stop,
                                         std::size_t stride, const double* t,
                                         const double* f, std::size_t r,
                                         std::size_t k, std::size_t ip,
                                         bool pivot_row) {
  Vec<W> fr[N];
#pragma GCC unroll 8
  for (std::size_t b = 0; b < N; ++b) load<W>(fr[b], f + r + b * W);
  [[maybe_unused]] Vec<W> ft;
  if constexpr (kTail) load<W>(ft, f + k - W);
  for (double* y = first; y != stop; y += stride, ++t) {
    const double tc = *t;
    [[maybe_unused]] Vec<W> tail;
    if constexpr (kTail) {
      load<W>(tail, y + k - W);
      tail = tail - ft * tc;
    }
#pragma GCC unroll 8
    for (std::size_t b = 0; b < N; ++b) {
      Vec<W> v;
      load<W>(v, y + r + b * W);
      v = v - fr[b] * tc;
      store<W>(y + r + b * W, v);
    }
    if constexpr (kTail) store<W>(y + k - W, tail);
    if (pivot_row) y[ip] = tc;
  }
}

// The panel of n vectors (1 <= n <= N), as one unrolled instance.
template <std::size_t W, std::size_t N>
[[gnu::always_inline]] inline void panel_of(std::size_t n, bool tail,
                                            double* first, double* stop,
                                            std::size_t stride, const double* t,
                                            const double* f, std::size_t r,
                                            std::size_t k, std::size_t ip,
                                            bool pivot_row) {
  if constexpr (N > 0) {
    if (n != N) {
      panel_of<W, N - 1>(n, tail, first, stop, stride, t, f, r, k, ip,
                         pivot_row);
    } else if (tail) {
      panel<W, N, true>(first, stop, stride, t, f, r, k, ip, pivot_row);
    } else {
      panel<W, N, false>(first, stop, stride, t, f, r, k, ip, pivot_row);
    }
  }
}

// Every column of the first `columns` but jp (0-based), rows [0, k), k >= W.
template <std::size_t W>
[[gnu::always_inline]] inline void eliminate_columns(
    lp::MatrixRef A, std::size_t columns, std::size_t jp, const double* f,
    std::size_t ip, double p, std::size_t k) {
  const auto stride = std::size_t(A.rows());
  double* const base = A.span().data();
  // The vectors shared out as evenly as the panels allow.
  const std::size_t blocks = k / W;
  const std::size_t panels = (blocks + kPanel - 1) / kPanel;
  const bool ragged = k % W != 0;
  alignas(64) double t[kChunk];
  for (std::size_t c0 = 0; c0 < columns; c0 += kChunk) {
    const std::size_t n = std::min(kChunk, columns - c0);
    divide_row<W>(base + c0 * stride + ip, stride, n, p, t);
    // The chunk's columns before jp and after it.
    const std::size_t split = std::clamp(jp, c0, c0 + n);
    const std::size_t resume = std::clamp(jp + 1, c0, c0 + n);
    std::size_t r = 0;
    for (std::size_t q = 0; q < panels; ++q) {
      const std::size_t size = blocks / panels + (q < blocks % panels ? 1 : 0);
      const bool tail = ragged && q + 1 == panels;
      const bool pivot_row = ip >= r && ip < (tail ? k : r + size * W);
      panel_of<W, kPanel>(size, tail, base + c0 * stride, base + split * stride,
                          stride, t, f, r, k, ip, pivot_row);
      panel_of<W, kPanel>(size, tail, base + resume * stride,
                          base + (c0 + n) * stride, stride, t + (resume - c0),
                          f, r, k, ip, pivot_row);
      r += size * W;
    }
  }
}

// The pivot column, rows [0, k), k >= W: y = 0.0 - y * t, in place, with the
// same overlapping last vector.
template <std::size_t W>
[[gnu::always_inline]] inline void negate_column(double* y, double t,
                                                 std::size_t k) {
  const bool ragged = k % W != 0;
  Vec<W> tail{};
  if (ragged) {
    load<W>(tail, y + k - W);
    tail = 0.0 - tail * t;
  }
  for (std::size_t i = 0; i + W <= k; i += W) {
    Vec<W> v;
    load<W>(v, y + i);
    v = 0.0 - v * t;
    store<W>(y + i, v);
  }
  if (ragged) store<W>(y + k - W, tail);
}

// One pivot as `eliminate` states it.
struct Pivot {
  lp::MatrixRef A;
  std::int32_t N;
  std::int32_t ip;
  std::int32_t jp;
  double sgn;
  std::int32_t k;
  std::int32_t one_row;
};

// The whole elimination at W doubles per vector, k >= W.
template <std::size_t W>
[[gnu::always_inline]] inline void eliminate_at(const Pivot& s) {
  lp::MatrixRef A = s.A;
  // The row-by-row form walks along rows, which in column-major storage is a
  // stride of LDA. Each new entry depends only on its own old value, its
  // row's multiplier f = old A(i,jp) and the divided pivot-row entry of its
  // column, so the same values come out when we go column by column instead:
  // while the other columns are done, column jp still holds every f, and it
  // is transformed last.
  const double p = A(s.ip, s.jp);
  const double* f = A.column(s.jp).data();
  const auto row = std::size_t(s.ip - 1);
  const auto rows = std::size_t(s.k);
  eliminate_columns<W>(A, std::size_t(s.N), std::size_t(s.jp - 1), f, row, p,
                       rows);
  // Pivot column: SGN/p in the pivot row, b - f * (SGN/p) elsewhere. The
  // subtraction from b = 0.0 is kept: 0.0 - 0.0 is +0.0 where a negation
  // would give -0.0. Every row is done from b = 0.0 first, in place; the
  // pivot row and the row that starts from 1.0 then get their own values.
  const double t = s.sgn / p;
  double* pivot_column = A.column(s.jp).data();
  const bool one = s.one_row >= 1 && s.one_row <= s.k;
  const double f_one = one ? A(s.one_row, s.jp) : 0.0;
  negate_column<W>(pivot_column, t, rows);
  if (one && s.one_row != s.ip) A(s.one_row, s.jp) = 1.0 - f_one * t;
  A(s.ip, s.jp) = t;
}

// One instantiation per width. SSE2 (two doubles) is part of every x86-64;
// the wider ones run only on processors that report them (and an operating
// system that saves their registers), so only these functions are compiled
// for them and the binary itself assumes no more than SSE2.
void eliminate_scalar(const Pivot& s) { eliminate_at<1>(s); }

#if defined(__x86_64__)
void eliminate_sse2(const Pivot& s) { eliminate_at<2>(s); }

[[gnu::target("avx")]] void eliminate_avx(const Pivot& s) {
  eliminate_at<4>(s);
}

[[gnu::target("avx512f")]] void eliminate_avx512(const Pivot& s) {
  eliminate_at<8>(s);
}
#endif

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

void eliminate(lp::MatrixRef A, std::int32_t N, std::int32_t ip,
               std::int32_t jp, double sgn, std::int32_t k,
               std::int32_t one_row) {
  eliminate(A, N, ip, jp, sgn, k, one_row, widest_lanes());
}

void eliminate(lp::MatrixRef A, std::int32_t N, std::int32_t ip,
               std::int32_t jp, double sgn, std::int32_t k,
               std::int32_t one_row, Lanes lanes) {
  assert(1 <= ip && ip <= k && k <= A.rows());
  assert(1 <= jp && jp <= N && N <= A.cols());
  const Pivot s{A, N, ip, jp, sgn, k, one_row};
  // The widest path the chosen lanes allow, never wider than the processor
  // runs; fewer rows than one vector take the next narrower one.
  const auto width =
      std::min(std::uint8_t(lanes), std::uint8_t(widest_lanes()));
#if defined(__x86_64__)
  if (width >= 8 && k >= 8) {
    eliminate_avx512(s);
    return;
  }
  if (width >= 4 && k >= 4) {
    eliminate_avx(s);
    return;
  }
  if (width >= 2 && k >= 2) {
    eliminate_sse2(s);
    return;
  }
#endif
  eliminate_scalar(s);
}

void GAUSS(lp::MatrixRef A, std::int32_t M, std::int32_t N, std::int32_t IP,
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
