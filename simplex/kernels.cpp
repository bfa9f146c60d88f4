#include "simplex/kernels.h"

#include <cstdint>
#include <cstring>

// The eight-lane values never cross a call that is not inlined, so the
// warning that passing them changes the calling convention does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace simplex {
namespace {

// Eight lanes held as 8 / W vectors of W doubles: lane l is element l % W
// of part l / W. Each width works on whole vectors of its own size, which
// the compiler keeps in registers (an eight-double vector type on a
// narrower unit went through memory at every step).
template <std::size_t W>
struct Lanes {
  using Part [[gnu::vector_size(W * sizeof(double))]] = double;
  using Mask [[gnu::vector_size(W * sizeof(double))]] = std::int64_t;
  static constexpr std::size_t kParts = 8 / W;
  Part part[kParts];
};

template <std::size_t W>
[[gnu::always_inline]] inline typename Lanes<W>::Part load(const double* p) {
  typename Lanes<W>::Part v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <std::size_t W>
[[gnu::always_inline]] inline void store(double* p, typename Lanes<W>::Part v) {
  std::memcpy(p, &v, sizeof v);
}

// The eight lanes of `acc` plus `tail`, lane by lane.
template <std::size_t W>
[[gnu::always_inline]] inline void lanes_of(const Lanes<W>& acc,
                                            const double (&tail)[8],
                                            double (&a)[8]) {
  for (std::size_t p = 0; p < Lanes<W>::kParts; ++p)
    for (std::size_t k = 0; k < W; ++k)
      a[p * W + k] = acc.part[p][k] + tail[p * W + k];
}

// The lanes added up in one fixed order whatever the width.
[[gnu::always_inline]] inline double sum_of_lanes(const double (&a)[8]) {
  return ((a[0] + a[1]) + (a[2] + a[3])) + ((a[4] + a[5]) + (a[6] + a[7]));
}

template <std::size_t W>
[[gnu::always_inline]] inline double total(const Lanes<W>& acc,
                                           const double (&tail)[8]) {
  double a[8];
  lanes_of(acc, tail, a);
  return sum_of_lanes(a);
}

// y[i] += f * x[i] over the whole lanes of n (the first n / 8 * 8 entries),
// the new entries' squares summed in their lanes.
template <std::size_t W>
[[gnu::always_inline]] inline Lanes<W> axpy_whole_lanes(double* y,
                                                        const double* x,
                                                        double f,
                                                        std::size_t n) {
  using Part = typename Lanes<W>::Part;
  const Part fv = Part{} + f;
  Lanes<W> acc{};
  for (std::size_t i = 0; i + 8 <= n; i += 8) {
    for (std::size_t p = 0; p < Lanes<W>::kParts; ++p) {
      const Part v = load<W>(y + i + p * W) + fv * load<W>(x + i + p * W);
      store<W>(y + i + p * W, v);
      acc.part[p] += v * v;
    }
  }
  return acc;
}

// The tail of fewer than eight entries goes in lanes 0, 1, ..., so that its
// squares join the sums in the same lanes at every width. The sums are left
// in their lanes, in `a`.
template <std::size_t W>
[[gnu::always_inline]] inline void axpy_lanes_at(double* y, const double* x,
                                                 double f, std::size_t n,
                                                 double (&a)[8]) {
  const Lanes<W> acc = axpy_whole_lanes<W>(y, x, f, n);
  double tail[8] = {};
  for (std::size_t k = 0, i = n / 8 * 8; i < n; ++i, ++k) {
    y[i] += f * x[i];
    tail[k] = y[i] * y[i];
  }
  lanes_of(acc, tail, a);
}

template <std::size_t W>
[[gnu::always_inline]] inline double axpy_squares_at(double* y, const double* x,
                                                     double f, std::size_t n) {
  double a[8];
  axpy_lanes_at<W>(y, x, f, n, a);
  return sum_of_lanes(a);
}

// The sums of lanes of W columns at once: v[c] holds column c's lanes (one
// part of them), and element c of the result is their sum in the order of
// sum_of_lanes. Each fold adds neighbouring blocks of b lanes of two
// vectors, the first vector's columns to the left of the second's, so that
// after the folds b = 1, 2, ..., W / 2 one vector holds the W columns' sums
// side by side; the parts are then added as sum_of_lanes adds them.
template <std::size_t W, std::size_t b>
[[gnu::always_inline]] inline typename Lanes<W>::Part fold(
    typename Lanes<W>::Part x, typename Lanes<W>::Part y) {
  typename Lanes<W>::Mask left;
  typename Lanes<W>::Mask right;
  for (std::size_t e = 0; e < W; ++e) {
    const std::size_t u = e / (2 * b) * (2 * b);
    const std::size_t c = e % (2 * b);
    left[e] = std::int64_t(c < b ? u + c : W + u + c - b);
    right[e] = std::int64_t(c < b ? u + b + c : W + u + c);
  }
  return __builtin_shuffle(x, y, left) + __builtin_shuffle(x, y, right);
}

template <std::size_t W, std::size_t b = 1>
[[gnu::always_inline]] inline void fold_all(typename Lanes<W>::Part* v) {
  if constexpr (b < W) {
    for (std::size_t i = 0; i < W / (2 * b); ++i)
      v[i] = fold<W, b>(v[2 * i], v[2 * i + 1]);
    fold_all<W, 2 * b>(v);
  }
}

template <std::size_t W>
[[gnu::always_inline]] inline typename Lanes<W>::Part sums_side_by_side(
    const Lanes<W>* acc) {
  using Part = typename Lanes<W>::Part;
  constexpr std::size_t kParts = Lanes<W>::kParts;
  Part s[kParts];
  for (std::size_t p = 0; p < kParts; ++p) {
    Part v[W];
    for (std::size_t c = 0; c < W; ++c) v[c] = acc[c].part[p];
    fold_all<W>(v);
    s[p] = v[0];
  }
  if constexpr (kParts == 1) return s[0];
  if constexpr (kParts == 2) return s[0] + s[1];
  if constexpr (kParts == 4) return (s[0] + s[1]) + (s[2] + s[3]);
}

// The dense pivot's update of every column but q, in one call, a batch of
// columns at a time: the batch's entries in row p and their multipliers
// first, the multipliers W at a time; then each column updated, with its
// squares left in their lanes (the rows are whole lanes: no tail); then the
// lanes added up and the weights worked out, W columns side by side. Each
// step runs without waiting on the one before it for a column, and the
// per-column work that would (a division, a sum of lanes) is done W
// columns to an instruction, with the same operations in the same order.
template <std::size_t W>
[[gnu::always_inline]] inline void pivot_columns_at(const PivotColumns& c) {
  using Part = typename Lanes<W>::Part;
  constexpr std::size_t kBatch = 32;
  Lanes<W> lanes[kBatch];
  alignas(64) double as[kBatch];
  alignas(64) double fs[kBatch];
  alignas(64) double cms[kBatch];
  alignas(64) double cm1s[kBatch];
  std::size_t js[kBatch];
  const std::size_t m = c.m;
  const std::size_t ld = c.ld;
  const Part piv = Part{} + c.piv;
  const Part one = Part{} + 1.0;
  std::size_t j = 0;
  while (j < c.n) {
    std::size_t k = 0;
    for (; j < c.n && k < kBatch; ++j) {
      const double a = c.t[j * ld + c.p];
      if (a == 0.0 || j == c.q) continue;
      as[k] = a;
      js[k] = j;
      ++k;
    }
    // The batch filled up to whole vectors with harmless columns that
    // are worked out and never stored.
    const std::size_t whole = (k + W - 1) / W * W;
    for (std::size_t r = k; r < whole; ++r) {
      as[r] = 1.0;
      cms[r] = cm1s[r] = 0.0;
      lanes[r] = Lanes<W>{};
    }
    for (std::size_t r = 0; r < whole; r += W)
      store<W>(fs + r, -load<W>(as + r) / piv);
    for (std::size_t r = 0; r < k; ++r) {
      double* cj = c.t + js[r] * ld;
      lanes[r] = axpy_whole_lanes<W>(cj, c.cq, fs[r], ld);
      cms[r] = cj[m];
      cm1s[r] = cj[m + 1];
      cj[c.p] = fs[r];
    }
    for (std::size_t r = 0; r < k; r += W) {
      const Part cm = load<W>(cms + r);
      const Part cm1 = load<W>(cm1s + r);
      const Part f = load<W>(fs + r);
      const Part a = load<W>(as + r);
      Part g = one + sums_side_by_side<W>(lanes + r) - cm * cm - cm1 * cm1;
      // Row p held a and now holds f.
      g += f * f - a * a;
      g = g < one ? one : g;
      for (std::size_t e = 0; e < W && r + e < k; ++e)
        c.gamma[js[r + e]] = g[e];
    }
  }
}

template <std::size_t W>
[[gnu::always_inline]] inline double dot_at(const double* x, const double* y,
                                            std::size_t n) {
  Lanes<W> acc{};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    for (std::size_t p = 0; p < Lanes<W>::kParts; ++p)
      acc.part[p] += load<W>(x + i + p * W) * load<W>(y + i + p * W);
  }
  double tail[8] = {};
  for (std::size_t k = 0; i < n; ++i, ++k) tail[k] = x[i] * y[i];
  return total(acc, tail);
}

// dot_at of x and the old y, and axpy_at of y, in one pass: each entry of y
// read once, its product with x joining the same lane as in dot_at, then
// updated as axpy_at updates it.
template <std::size_t W>
[[gnu::always_inline]] inline double dot_axpy_at(double* y, const double* x,
                                                 double f, std::size_t n) {
  using Part = typename Lanes<W>::Part;
  const Part fv = Part{} + f;
  Lanes<W> acc{};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    for (std::size_t p = 0; p < Lanes<W>::kParts; ++p) {
      const Part xv = load<W>(x + i + p * W);
      const Part yv = load<W>(y + i + p * W);
      acc.part[p] += xv * yv;
      store<W>(y + i + p * W, yv + fv * xv);
    }
  }
  double tail[8] = {};
  for (std::size_t k = 0; i < n; ++i, ++k) {
    tail[k] = x[i] * y[i];
    y[i] += f * x[i];
  }
  return total(acc, tail);
}

template <std::size_t W>
[[gnu::always_inline]] inline void axpy_at(double* y, const double* x, double f,
                                           std::size_t n) {
  using Part = typename Lanes<W>::Part;
  const Part fv = Part{} + f;
  std::size_t i = 0;
  for (; i + W <= n; i += W)
    store<W>(y + i, load<W>(y + i) + fv * load<W>(x + i));
  for (; i < n; ++i) y[i] += f * x[i];
}

template <std::size_t W>
[[gnu::always_inline]] inline double sum_of_squares_at(const double* x,
                                                       std::size_t n) {
  using Part = typename Lanes<W>::Part;
  Lanes<W> acc{};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    for (std::size_t p = 0; p < Lanes<W>::kParts; ++p) {
      const Part v = load<W>(x + i + p * W);
      acc.part[p] += v * v;
    }
  }
  double tail[8] = {};
  for (std::size_t k = 0; i < n; ++i, ++k) tail[k] = x[i] * x[i];
  return total(acc, tail);
}

double axpy_sse2(double* y, const double* x, double f, std::size_t n) {
  return axpy_squares_at<2>(y, x, f, n);
}
void pivot_sse2(const PivotColumns& c) { pivot_columns_at<2>(c); }
double dot_sse2(const double* x, const double* y, std::size_t n) {
  return dot_at<2>(x, y, n);
}
void plain_axpy_sse2(double* y, const double* x, double f, std::size_t n) {
  axpy_at<2>(y, x, f, n);
}
double dot_axpy_sse2(double* y, const double* x, double f, std::size_t n) {
  return dot_axpy_at<2>(y, x, f, n);
}
double squares_sse2(const double* x, std::size_t n) {
  return sum_of_squares_at<2>(x, n);
}
[[gnu::target("avx2")]] double axpy_avx2(double* y, const double* x, double f,
                                         std::size_t n) {
  return axpy_squares_at<4>(y, x, f, n);
}
[[gnu::target("avx2")]] double squares_avx2(const double* x, std::size_t n) {
  return sum_of_squares_at<4>(x, n);
}
[[gnu::target("avx2")]] void pivot_avx2(const PivotColumns& c) {
  pivot_columns_at<4>(c);
}
[[gnu::target("avx2")]] double dot_avx2(const double* x, const double* y,
                                        std::size_t n) {
  return dot_at<4>(x, y, n);
}
[[gnu::target("avx2")]] void plain_axpy_avx2(double* y, const double* x,
                                             double f, std::size_t n) {
  axpy_at<4>(y, x, f, n);
}
[[gnu::target("avx2")]] double dot_axpy_avx2(double* y, const double* x,
                                             double f, std::size_t n) {
  return dot_axpy_at<4>(y, x, f, n);
}
[[gnu::target("avx512f")]] double axpy_avx512(double* y, const double* x,
                                              double f, std::size_t n) {
  return axpy_squares_at<8>(y, x, f, n);
}
[[gnu::target("avx512f")]] double squares_avx512(const double* x,
                                                 std::size_t n) {
  return sum_of_squares_at<8>(x, n);
}
[[gnu::target("avx512f")]] void pivot_avx512(const PivotColumns& c) {
  pivot_columns_at<8>(c);
}
[[gnu::target("avx512f")]] double dot_avx512(const double* x, const double* y,
                                             std::size_t n) {
  return dot_at<8>(x, y, n);
}
[[gnu::target("avx512f")]] void plain_axpy_avx512(double* y, const double* x,
                                                  double f, std::size_t n) {
  axpy_at<8>(y, x, f, n);
}
[[gnu::target("avx512f")]] double dot_axpy_avx512(double* y, const double* x,
                                                  double f, std::size_t n) {
  return dot_axpy_at<8>(y, x, f, n);
}

struct Kernels {
  double (*axpy)(double*, const double*, double, std::size_t);
  double (*squares)(const double*, std::size_t);
  double (*dot)(const double*, const double*, std::size_t);
  void (*plain_axpy)(double*, const double*, double, std::size_t);
  double (*dot_axpy)(double*, const double*, double, std::size_t);
  void (*pivot)(const PivotColumns&);
  int width;
};

int widest() {
  if (__builtin_cpu_supports("avx512f") != 0) return 8;
  if (__builtin_cpu_supports("avx2") != 0) return 4;
  return 2;
}

Kernels kernels_for(int doubles) {
  const int w = doubles < widest() ? doubles : widest();
  if (w >= 8)
    return {axpy_avx512,     squares_avx512, dot_avx512, plain_axpy_avx512,
            dot_axpy_avx512, pivot_avx512,   8};
  if (w >= 4)
    return {axpy_avx2,     squares_avx2, dot_avx2, plain_axpy_avx2,
            dot_axpy_avx2, pivot_avx2,   4};
  return {axpy_sse2,     squares_sse2, dot_sse2, plain_axpy_sse2,
          dot_axpy_sse2, pivot_sse2,   2};
}

Kernels& active() {
  static Kernels k = kernels_for(8);
  return k;
}

}  // namespace

double axpy_squares(double* y, const double* x, double f, std::size_t n) {
  return active().axpy(y, x, f, n);
}

double sum_of_squares(const double* x, std::size_t n) {
  return active().squares(x, n);
}

void pivot_columns(const PivotColumns& c) { active().pivot(c); }

double dot(const double* x, const double* y, std::size_t n) {
  return active().dot(x, y, n);
}

void axpy(double* y, const double* x, double f, std::size_t n) {
  active().plain_axpy(y, x, f, n);
}

double dot_axpy(double* y, const double* x, double f, std::size_t n) {
  return active().dot_axpy(y, x, f, n);
}

void weighted_row_sums(const double* t, std::size_t ld, std::size_t n,
                       const std::int32_t* rows, const double* weights,
                       std::size_t k, double* d) {
  constexpr std::size_t kSide = 8;
  std::size_t q = 0;
  for (; q + kSide <= n; q += kSide) {
    const double* c = t + q * ld;
    double s[kSide] = {};
    for (std::size_t r = 0; r < k; ++r) {
      const double w = weights[r];
      const double* e = c + std::size_t(rows[r]);
      for (std::size_t j = 0; j < kSide; ++j) s[j] += w * e[j * ld];
    }
    for (std::size_t j = 0; j < kSide; ++j) d[q + j] = s[j];
  }
  for (; q < n; ++q) {
    const double* c = t + q * ld;
    double s = 0.0;
    for (std::size_t r = 0; r < k; ++r)
      s += weights[r] * c[std::size_t(rows[r])];
    d[q] = s;
  }
}

int use_vector_width(int doubles) {
  active() = kernels_for(doubles);
  return active().width;
}

}  // namespace simplex
