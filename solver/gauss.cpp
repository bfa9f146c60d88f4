#include "solver/gauss.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace solver {
namespace {

// The elimination updates columns in groups of up to four: y_c[i] = y_c[i] -
// f[i] * t_c for i in [0, k), where f is the untouched pivot column (the
// multipliers), y_c a column being updated and t_c its divided pivot-row
// entry. The pivot column itself, last, gets y[i] = 0.0 - y[i] * t. Every
// lane multiplies, rounds, subtracts and rounds exactly as the scalar
// statement does: no fused multiply-add (the build forbids contraction), the
// same operand order, and the same rounding mode, since the vector units
// share the one control register with the scalar ones. So the results are
// the same bits whichever width runs. A group shares each load of the
// multipliers, and the loop runs once per group instead of once per column.
//
// One kernel serves every width: W doubles per vector, W = 1 being the plain
// scalar loop. When k is not a whole number of vectors, the last vector's
// worth of rows (which overlaps the one before) is computed first from the
// old values and stored last: the overlapping entries get the same value
// twice, each from its old value, and no entry past row k is read or
// written.
constexpr std::size_t kGroup = 4;

// What the kernel computes in each column of a group.
enum class Form : std::uint8_t {
  kSubtract,  // y - f * t
  kNegate,    // 0.0 - y * t
};

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

// The group's new values of rows [i, i + W).
template <std::size_t W, std::size_t C, Form form>
[[gnu::always_inline]] inline void compute_rows(double* const (&y)[C],
                                                const double (&t)[C],
                                                const double* f, std::size_t i,
                                                Vec<W> (&out)[C]) {
  Vec<W> fv;
  if constexpr (form == Form::kSubtract) load<W>(fv, f + i);
#pragma GCC unroll 4
  for (std::size_t c = 0; c < C; ++c) {
    Vec<W> yv;
    load<W>(yv, y[c] + i);
    if constexpr (form == Form::kSubtract) {
      out[c] = yv - fv * t[c];
    } else {
      out[c] = 0.0 - yv * t[c];
    }
  }
}

// The kernel: rows [0, k) of the group's C columns, W rows at a time, k >= W.
// Inlined into one function per instruction set; the loops over the group's
// columns are unrolled so that every column's values stay in registers.
template <std::size_t W, std::size_t C, Form form>
[[gnu::always_inline]] inline void update_rows(double* const (&y)[C],
                                               const double (&t)[C],
                                               const double* f, std::size_t k) {
  const std::size_t last = k - W;
  const bool ragged = k % W != 0;
  Vec<W> tail[C] = {};
  if (ragged) compute_rows<W, C, form>(y, t, f, last, tail);
  for (std::size_t i = 0; i + W <= k; i += W) {
    Vec<W> rows[C];
    compute_rows<W, C, form>(y, t, f, i, rows);
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) store<W>(y[c] + i, rows[c]);
  }
  if (ragged) {
#pragma GCC unroll 4
    for (std::size_t c = 0; c < C; ++c) store<W>(y[c] + last, tail[c]);
  }
}

// C neighbouring columns from `first` on, columns `stride` apart: the
// pivot-row entries divided by p (a division, never a multiply by 1/p), every
// other row its one multiply and one subtract. The pivot row runs through the
// column update too (one unbroken loop is faster than two around it) and then
// gets its divided entry.
template <std::size_t W, std::size_t C>
[[gnu::always_inline]] inline void eliminate_group(double* first,
                                                   std::size_t stride,
                                                   const double* f,
                                                   std::size_t ip, double p,
                                                   std::size_t k) {
  double* y[C];
  double t[C];
#pragma GCC unroll 4
  for (std::size_t c = 0; c < C; ++c) {
    y[c] = first + c * stride;
    t[c] = y[c][ip] / p;
  }
  update_rows<W, C, Form::kSubtract>(y, t, f, k);
#pragma GCC unroll 4
  for (std::size_t c = 0; c < C; ++c) y[c][ip] = t[c];
}

// Columns [from, to), which do not include the pivot column, kGroup at a
// time (three with SSE2, whose sixteen registers would not hold a fourth
// column's values beside its own): a group shares each load of the
// multipliers.
template <std::size_t W>
[[gnu::always_inline]] inline void eliminate_columns(
    lp::MatrixRef A, std::int32_t from, std::int32_t to, const double* f,
    std::size_t ip, double p, std::size_t k) {
  const auto stride = std::size_t(A.rows());
  std::int32_t j = from;
  constexpr std::size_t kColumns = W == 2 ? 3 : kGroup;
  for (; j + std::int32_t(kColumns) <= to; j += std::int32_t(kColumns)) {
    eliminate_group<W, kColumns>(A.column(j).data(), stride, f, ip, p, k);
  }
  switch (to - j) {
    case 3:
      eliminate_group<W, 3>(A.column(j).data(), stride, f, ip, p, k);
      break;
    case 2:
      eliminate_group<W, 2>(A.column(j).data(), stride, f, ip, p, k);
      break;
    case 1:
      eliminate_group<W, 1>(A.column(j).data(), stride, f, ip, p, k);
      break;
    default:
      break;
  }
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
  eliminate_columns<W>(A, 1, s.jp, f, row, p, rows);
  eliminate_columns<W>(A, s.jp + 1, s.N + 1, f, row, p, rows);
  // Pivot column: SGN/p in the pivot row, b - f * (SGN/p) elsewhere. The
  // subtraction from b = 0.0 is kept: 0.0 - 0.0 is +0.0 where a negation
  // would give -0.0. Every row is done from b = 0.0 first, in place; the
  // pivot row and the row that starts from 1.0 then get their own values.
  const double t = s.sgn / p;
  double* pivot_column = A.column(s.jp).data();
  const bool one = s.one_row >= 1 && s.one_row <= s.k;
  const double f_one = one ? A(s.one_row, s.jp) : 0.0;
  double* const negated[1] = {pivot_column};
  const double multiplier[1] = {t};
  update_rows<W, 1, Form::kNegate>(negated, multiplier, pivot_column, rows);
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
