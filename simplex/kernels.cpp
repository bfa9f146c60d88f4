#include "simplex/kernels.h"

#include <cstring>

// The eight-lane values never cross a call that is not inlined, so the
// warning that passing them changes the calling convention does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace simplex {
namespace {

using Lanes = double __attribute__((vector_size(64)));

// Unaligned loads and stores of eight doubles.
[[gnu::always_inline]] inline Lanes load(const double* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
[[gnu::always_inline]] inline void store(double* p, Lanes v) {
  std::memcpy(p, &v, sizeof v);
}

[[gnu::always_inline]] inline double total(Lanes a) {
  return ((a[0] + a[1]) + (a[2] + a[3])) + ((a[4] + a[5]) + (a[6] + a[7]));
}

// The tail of fewer than eight entries is put in lanes 0, 1, ... as a
// vector of its own, so that its squares join the sums in the same lanes
// at every width.
[[gnu::always_inline]] inline double axpy_squares_at(double* y, const double* x,
                                                     double f, std::size_t n) {
  const Lanes fv = Lanes{} + f;
  Lanes acc{};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const Lanes v = load(y + i) + fv * load(x + i);
    store(y + i, v);
    acc += v * v;
  }
  Lanes tail{};
  for (std::size_t k = 0; i < n; ++i, ++k) {
    y[i] += f * x[i];
    tail[k] = y[i] * y[i];
  }
  return total(acc + tail);
}

[[gnu::always_inline]] inline double sum_of_squares_at(const double* x,
                                                       std::size_t n) {
  Lanes acc{};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const Lanes v = load(x + i);
    acc += v * v;
  }
  Lanes tail{};
  for (std::size_t k = 0; i < n; ++i, ++k) tail[k] = x[i] * x[i];
  return total(acc + tail);
}

double axpy_sse2(double* y, const double* x, double f, std::size_t n) {
  return axpy_squares_at(y, x, f, n);
}
double squares_sse2(const double* x, std::size_t n) {
  return sum_of_squares_at(x, n);
}
[[gnu::target("avx2")]] double axpy_avx2(double* y, const double* x, double f,
                                         std::size_t n) {
  return axpy_squares_at(y, x, f, n);
}
[[gnu::target("avx2")]] double squares_avx2(const double* x, std::size_t n) {
  return sum_of_squares_at(x, n);
}
[[gnu::target("avx512f")]] double axpy_avx512(double* y, const double* x,
                                              double f, std::size_t n) {
  return axpy_squares_at(y, x, f, n);
}
[[gnu::target("avx512f")]] double squares_avx512(const double* x,
                                                 std::size_t n) {
  return sum_of_squares_at(x, n);
}

struct Kernels {
  double (*axpy)(double*, const double*, double, std::size_t);
  double (*squares)(const double*, std::size_t);
  int width;
};

int widest() {
  if (__builtin_cpu_supports("avx512f") != 0) return 8;
  if (__builtin_cpu_supports("avx2") != 0) return 4;
  return 2;
}

Kernels kernels_for(int doubles) {
  const int w = doubles < widest() ? doubles : widest();
  if (w >= 8) return {axpy_avx512, squares_avx512, 8};
  if (w >= 4) return {axpy_avx2, squares_avx2, 4};
  return {axpy_sse2, squares_sse2, 2};
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

int use_vector_width(int doubles) {
  active() = kernels_for(doubles);
  return active().width;
}

}  // namespace simplex
