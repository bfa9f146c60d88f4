#pragma once
// The inner loops of the model road's simplex, compiled for the widest
// vectors the processor has. Each works in eight lanes whatever the
// width (one AVX-512 vector, two AVX ones, four SSE2 ones), so every width
// gives the same bits: the lanes are added up in one fixed order.

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace simplex {

// y[i] += f * x[i] for i < n. Returns the sum of the new y[i]^2.
double axpy_squares(double* y, const double* x, double f, std::size_t n);

// The sum of x[i]^2 for i < n, in the same lanes and order.
double sum_of_squares(const double* x, std::size_t n);

// Storage on 64-byte boundaries, for arrays whose columns the kernels
// sweep: with every column a whole number of lanes long (padded_rows), each
// starts on a boundary and no vector straddles two cache lines.
template <class T>
struct CacheAligned {
  using value_type = T;
  static constexpr std::align_val_t kAlign{64};
  CacheAligned() = default;
  template <class U>
  explicit CacheAligned(const CacheAligned<U>& /*other*/) {}
  T* allocate(std::size_t n) {
    return static_cast<T*>(::operator new(n * sizeof(T), kAlign));
  }
  void deallocate(T* p, std::size_t /*n*/) { ::operator delete(p, kAlign); }
  template <class U>
  bool operator==(const CacheAligned<U>& /*other*/) const {
    return true;
  }
};
using AlignedVector = std::vector<double, CacheAligned<double>>;

// Rows rounded up to the eight lanes. The rows added are zeros; the
// kernels then never take a column's tail one entry at a time, with the
// same bits as when they did (a tail entry joined its lane's sum with one
// addition then, and does now).
constexpr std::size_t padded_rows(std::size_t rows) {
  return (rows + 7) / 8 * 8;
}

// The dense pivot of the tableau form on every column but q: for column j
// whose entry a in row p is not zero, f = -a / piv, column j += f times cq
// (whose row p the caller has set to zero; all ld rows, the cost rows and
// the padding included), row p = f, and gamma[j] = max(1, 1 + the sum of
// column j's new squares over its first m rows), the sum taken through
// axpy_squares's lanes less rows m and m + 1 (the cost rows). Bit for bit
// what a loop over the columns calling axpy_squares gives.
struct PivotColumns {
  double* t;
  std::size_t ld;
  std::size_t m;
  std::size_t n;
  std::size_t p;
  std::size_t q;
  const double* cq;
  double piv;
  double* gamma;
};
void pivot_columns(const PivotColumns& c);

// The sum of x[i] * y[i] for i < n, in the same lanes and order.
double dot(const double* x, const double* y, std::size_t n);

// y[i] += f * x[i] for i < n.
void axpy(double* y, const double* x, double f, std::size_t n);

// dot(x, y, n) of y as it was, then axpy(y, x, f, n), in one pass over y:
// the bits of the two calls.
double dot_axpy(double* y, const double* x, double f, std::size_t n);

// d[q] = the sum over r < k of weights[r] * t[q * ld + rows[r]], for q < n:
// weighted sums of rows of a column-major array, each column's terms added
// in the order of r, as a loop over one column at a time would add them
// (the same bits), but eight columns side by side, so that the additions
// of one column do not wait for each other.
void weighted_row_sums(const double* t, std::size_t ld, std::size_t n,
                       const std::int32_t* rows, const double* weights,
                       std::size_t k, double* d);

// The widths a test can pick: 8 (AVX-512), 4 (AVX2), 2 (SSE2). A width the
// processor lacks falls back to the widest it has. Returns the width in use.
int use_vector_width(int doubles);

}  // namespace simplex
