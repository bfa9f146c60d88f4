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

// Up to kGroup columns: where each starts and the multiplier of its row.
struct ColumnGroup {
  double* const* y;
  const double* t;
  std::size_t count;
};

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
[[gnu::always_inline]] inline void update_rows(const ColumnGroup& g,
                                               const double* f,
                                               std::size_t k) {
  double* y[C];
  double t[C];
#pragma GCC unroll 4
  for (std::size_t c = 0; c < C; ++c) {
    y[c] = g.y[c];
    t[c] = g.t[c];
  }
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

// One instantiation per width. SSE2 (two doubles) is part of every x86-64;
// the wider ones run only on processors that report them (and an operating
// system that saves their registers), so only these functions are compiled
// for them and the binary itself assumes no more than SSE2.
template <std::size_t C, Form form>
void update_rows_scalar(const ColumnGroup& g, const double* f, std::size_t k) {
  update_rows<1, C, form>(g, f, k);
}

#if defined(__x86_64__)
template <std::size_t C, Form form>
void update_rows_sse2(const ColumnGroup& g, const double* f, std::size_t k) {
  update_rows<2, C, form>(g, f, k);
}

template <std::size_t C, Form form>
[[gnu::target("avx")]] void update_rows_avx(const ColumnGroup& g,
                                            const double* f, std::size_t k) {
  update_rows<4, C, form>(g, f, k);
}

template <std::size_t C, Form form>
[[gnu::target("avx512f")]] void update_rows_avx512(const ColumnGroup& g,
                                                   const double* f,
                                                   std::size_t k) {
  update_rows<8, C, form>(g, f, k);
}
#endif

// The widest path the chosen lanes allow for k rows (fewer rows than a
// vector take the next narrower one).
template <std::size_t C, Form form>
void update_group(const ColumnGroup& g, const double* f, std::size_t k,
                  Lanes lanes) {
#if defined(__x86_64__)
  if (lanes == Lanes::kEight && k >= 8) {
    update_rows_avx512<C, form>(g, f, k);
    return;
  }
  if (lanes >= Lanes::kFour && k >= 4) {
    update_rows_avx<C, form>(g, f, k);
    return;
  }
  if (lanes >= Lanes::kTwo && k >= 2) {
    update_rows_sse2<C, form>(g, f, k);
    return;
  }
#endif
  update_rows_scalar<C, form>(g, f, k);
}

void subtract_multiples(const ColumnGroup& g, const double* f, std::size_t k,
                        Lanes lanes) {
  switch (g.count) {
    case 4:
      update_group<4, Form::kSubtract>(g, f, k, lanes);
      return;
    case 3:
      update_group<3, Form::kSubtract>(g, f, k, lanes);
      return;
    case 2:
      update_group<2, Form::kSubtract>(g, f, k, lanes);
      return;
    default:
      update_group<1, Form::kSubtract>(g, f, k, lanes);
      return;
  }
}

// y[i] = 0.0 - y[i] * t for i in [0, k): the pivot column, in place.
void negate_multiple(double* y, double t, std::size_t k, Lanes lanes) {
  update_group<1, Form::kNegate>({&y, &t, 1}, y, k, lanes);
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
