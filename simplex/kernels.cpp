#include "simplex/kernels.h"

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

// The tail of fewer than eight entries goes in lanes 0, 1, ..., so that its
// squares join the sums in the same lanes at every width. The sums are left
// in their lanes, in `a`.
template <std::size_t W>
[[gnu::always_inline]] inline void axpy_lanes_at(double* y, const double* x,
                                                 double f, std::size_t n,
                                                 double (&a)[8]) {
  using Part = typename Lanes<W>::Part;
  const Part fv = Part{} + f;
  Lanes<W> acc{};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    for (std::size_t p = 0; p < Lanes<W>::kParts; ++p) {
      const Part v = load<W>(y + i + p * W) + fv * load<W>(x + i + p * W);
      store<W>(y + i + p * W, v);
      acc.part[p] += v * v;
    }
  }
  double tail[8] = {};
  for (std::size_t k = 0; i < n; ++i, ++k) {
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

// The dense pivot's update of every column but q, in one call, a batch of
// columns at a time: first each column updated with its squares left in
// their lanes, then the batch's lanes added up and the weights worked out.
// The sums of a column wait on its last additions; apart, the batch's
// updates and its sums each run without waiting.
template <std::size_t W>
[[gnu::always_inline]] inline void pivot_columns_at(const PivotColumns& c) {
  constexpr std::size_t kBatch = 32;
  double lanes[kBatch][8];
  double as[kBatch];
  double fs[kBatch];
  std::size_t js[kBatch];
  const std::size_t m = c.m;
  std::size_t j = 0;
  while (j < c.n) {
    std::size_t k = 0;
    for (; j < c.n && k < kBatch; ++j) {
      double* cj = c.t + j * c.ld;
      const double a = cj[c.p];
      if (a == 0.0 || j == c.q) continue;
      const double f = -a / c.piv;
      axpy_lanes_at<W>(cj, c.cq, f, c.ld, lanes[k]);
      as[k] = a;
      fs[k] = f;
      js[k] = j;
      ++k;
    }
    for (std::size_t r = 0; r < k; ++r) {
      double* cj = c.t + js[r] * c.ld;
      const double a = as[r];
      const double f = fs[r];
      double g =
          1.0 + sum_of_lanes(lanes[r]) - cj[m] * cj[m] - cj[m + 1] * cj[m + 1];
      // Row p held a and now holds f.
      g += f * f - a * a;
      c.gamma[js[r]] = g < 1.0 ? 1.0 : g;
      cj[c.p] = f;
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

struct Kernels {
  double (*axpy)(double*, const double*, double, std::size_t);
  double (*squares)(const double*, std::size_t);
  double (*dot)(const double*, const double*, std::size_t);
  void (*plain_axpy)(double*, const double*, double, std::size_t);
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
    return {axpy_avx512,       squares_avx512, dot_avx512,
            plain_axpy_avx512, pivot_avx512,   8};
  if (w >= 4)
    return {axpy_avx2, squares_avx2, dot_avx2, plain_axpy_avx2, pivot_avx2, 4};
  return {axpy_sse2, squares_sse2, dot_sse2, plain_axpy_sse2, pivot_sse2, 2};
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
